#include "gui/panel/LabelEdit.h"

#include "gui/widgets/SkinResources.h"

#include <QFontMetricsF>

namespace {

// The smallest size a text is shrunk to; below it a text would not be readable anyway.
constexpr int smallestPixelSize = 6;
// What a line edit keeps free beside its text: a margin of 2 pixels on either side, and one
// pixel more that the text must leave, or it scrolls.
constexpr int editMargins = 2 * 2 + 1;

} // namespace

LabelEdit::LabelEdit(QWidget *parent)
    : RangeEdit(SkinResources::SlotBoxBackground, QColor(15, 80, 210), parent)
    , fullPixelSize(font().pixelSize())
{
    connect(this, &QLineEdit::textChanged, this, &LabelEdit::fitText);
}

void LabelEdit::fitText()
{
    const int room = contentsRect().width() - editMargins;
    QFont fitted = font();
    for (int size = fullPixelSize; size >= smallestPixelSize; --size) {
        fitted.setPixelSize(size);
        if (QFontMetricsF(fitted).horizontalAdvance(text()) <= room)
            break;
    }
    if (fitted.pixelSize() != font().pixelSize())
        setFont(fitted);
}

void LabelEdit::resizeEvent(QResizeEvent *event)
{
    RangeEdit::resizeEvent(event);
    fitText();
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
