#include "gui/panel/LabelEdit.h"

#include "gui/widgets/SkinResources.h"

LabelEdit::LabelEdit(QWidget *parent)
    : RangeEdit(SkinResources::SlotBoxBackground, QColor(15, 80, 210), parent)
{
}

void LabelEdit::setMode(Mode mode)
{
    currentMode = mode;
}

void LabelEdit::reset()
{
    if (currentMode != Channel)
        return;
    setMaxLength(3);
    setText(QStringLiteral("001"));
}

bool LabelEdit::commit()
{
    if (!isReadOnly() && isEnabled())
        emit committed();
    return true;
}

void LabelEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    commit();
}
