#include "gui/panel/RangeEdit.h"

#include "gui/widgets/SkinResources.h"

#include <QAction>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>

RangeEdit::RangeEdit(int pictureId, const QColor &textColour, QWidget *parent)
    : QLineEdit(parent)
    , backgroundId(pictureId)
{
    setFrame(false);
    // The boxes are small: the text gets every pixel of them.
    setTextMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, textColour);
    colours.setColor(QPalette::Disabled, QPalette::Text, textColour.darker(170));
    setPalette(colours);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    QFont small = font();
    small.setPixelSize(10);
    small.setBold(true);
    setFont(small);
    // Every change ends with textChanged; the user's are announced by textEdited just before.
    connect(this, &QLineEdit::textEdited, this, [this] { editedByUser = true; });
    connect(this, &QLineEdit::textChanged, this, [this] {
        ownTyping = editedByUser;
        editedByUser = false;
    });
    connect(this, &RangeEdit::committed, this, [this] { ownTyping = false; });
}

void RangeEdit::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatioF();
    if (background.isNull() || backgroundRatio != ratio) {
        background = SkinResources::pixmap(backgroundId, ratio);
        backgroundRatio = ratio;
    }
    {
        QPainter painter(this);
        painter.drawPixmap(rect(), background);
    }
    QLineEdit::paintEvent(event);
}

bool RangeEdit::event(QEvent *event)
{
    // Undo and redo keys in a box undo its typing, as in any text box; when the box has no
    // typing of its own to undo or redo, they reach the window and undo the panel's last step.
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeyCombination keys = static_cast<QKeyEvent *>(event)->keyCombination();
        const bool undoKey = keys == QKeyCombination(Qt::ControlModifier, Qt::Key_Z);
        const bool redoKey = keys == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z)
                             || keys == QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
        if ((undoKey && !isUndoAvailable()) || (redoKey && !isRedoAvailable())) {
            event->ignore();
            return false;
        }
        // The window's commands (Ctrl+D, Ctrl+K, ...) win over the editing keys that some
        // desktops bind to the same keys; the command checks this box first.
        if (!undoKey && !redoKey && isWindowCommand(QKeySequence(keys))) {
            event->ignore();
            return false;
        }
    }
    return QLineEdit::event(event);
}

bool RangeEdit::isWindowCommand(const QKeySequence &keys) const
{
    for (const QAction *action : window()->actions()) {
        if (action->isEnabled() && action->shortcuts().contains(keys))
            return true;
    }
    return false;
}

void RangeEdit::focusInEvent(QFocusEvent *event)
{
    ++focusCount;
    // Coming back to the window leaves the box as it was; any other way in is a new entry.
    const Qt::FocusReason reason = event->reason();
    const bool returning = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
    if (!returning)
        ownTyping = false;
    QLineEdit::focusInEvent(event);
    if (returning)
        return;
    // The press that follows a click would put the cursor down and drop the selection.
    if (reason == Qt::MouseFocusReason)
        selectOnRelease = true;
    else
        selectAll();
}

void RangeEdit::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    // A drag over part of the text chose that part; a plain click selects the whole value.
    if (selectOnRelease && !hasSelectedText())
        selectAll();
    selectOnRelease = false;
}

void RangeEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // In the main window an Enter nobody takes would close it, and the panel's edits with it.
        commit();
        event->accept();
        return;
    }
    // A full box would drop the key without a word: typed into the value the box was given,
    // the key replaces it instead (End, then 64, gives 64, not 000).
    const bool typesText = !event->text().isEmpty() && event->text().at(0).isPrint()
                           && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const int width = fullWidth();
    if (typesText && !isReadOnly() && !ownTyping && !hasSelectedText() && width > 0 && text().size() >= width)
        selectAll();
    QLineEdit::keyPressEvent(event);
}
