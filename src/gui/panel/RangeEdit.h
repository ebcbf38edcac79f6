#pragma once

#include <QLineEdit>
#include <QKeySequence>
#include <QPixmap>

class PromptService;

// The panel's skinned text boxes: a picture behind transparent text in the box's own colour,
// digits only when typed into. LabelEdit, ValueEdit and ChannelEdit add their rules.
class RangeEdit : public QLineEdit
{
    Q_OBJECT

public:
    RangeEdit(int backgroundId, const QColor &textColour, QWidget *parent = nullptr);

    // Puts the box's reset text in and limits its length.
    virtual void reset() = 0;
    // The checks the box gets when the user leaves it, run now: the text is corrected first,
    // then its message shown. False when the value was refused (a message was shown). Commands
    // that read the panel call it for the box being edited: a click on the bar or a command's
    // shortcut leaves the focus in the box.
    virtual bool commit() { return true; }
    // Counts the times the box took the focus: the wheel steps of one focus are one step of
    // the panel's undo.
    int focusSession() const { return focusCount; }
    // The number of characters that fill the box: a key typed into a full box replaces the
    // value the box was given. 0 for a box without a limit.
    virtual int fullWidth() const { return maxLength() < 32767 ? maxLength() : 0; }

signals:
    // The box's value was accepted (leaving the box, Enter, or a command checking it), after
    // its correction and before its message.
    void committed();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // Entering the box, also by a click, selects its value: typing replaces it.
    void focusInEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Enter accepts the value as leaving the box does; the key goes no further.
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool isWindowCommand(const QKeySequence &keys) const;

    int focusCount = 0;
    // The text is the user's typing since the box last took a value (from the program, or
    // accepted): that is never cut or replaced.
    bool ownTyping = false;
    bool editedByUser = false;
    bool selectOnRelease = false;
    int backgroundId;
    QPixmap background;
    qreal backgroundRatio = 0;
};
