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
