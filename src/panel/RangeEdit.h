#pragma once

#include <QLineEdit>
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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int backgroundId;
    QPixmap background;
    qreal backgroundRatio = 0;
};
