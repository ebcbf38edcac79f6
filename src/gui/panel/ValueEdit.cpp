#include "gui/panel/ValueEdit.h"

#include "core/base/PromptService.h"
#include "gui/widgets/SkinResources.h"

#include <QWheelEvent>

ValueEdit::ValueEdit(PromptService &promptService, QWidget *parent)
    : ValueEdit(promptService, RangeRules::Kind::Value, SkinResources::SlotBoxBackground, QColor(177, 105, 17), parent)
{
}

ValueEdit::ValueEdit(PromptService &promptService, RangeRules::Kind kind, int pictureId, const QColor &colour,
                     QWidget *parent)
    : RangeEdit(pictureId, colour, parent)
    , prompts(promptService)
    , rangeKind(kind)
{
}

void ValueEdit::reset()
{
    setText(rangeKind == RangeRules::Kind::Value ? QStringLiteral("000") : QStringLiteral("01"));
}

void ValueEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    commit();
}

bool ValueEdit::commit()
{
    if (isReadOnly() || !isEnabled())
        return true;
    const RangeRules::Leave result = RangeRules::leave(text(), rangeKind);
    // Corrected before the message: the box the message leaves behind holds a value in range,
    // and the focus the message box takes finds nothing more to check.
    setText(result.text);
    // The corrected value is the one accepted. It is taken before the message shows: the box
    // the message box takes the focus from is then checked with the change already recorded
    // as this box's, not as its own.
    emit committed();
    if (result.message.isEmpty())
        return true;
    prompts.inform(result.message);
    return false;
}

void ValueEdit::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus() || isReadOnly()) {
        QLineEdit::wheelEvent(event);
        return;
    }
    const std::optional<QString> next = RangeRules::wheel(text(), rangeKind, event->angleDelta().y());
    if (!next) {
        event->accept();
        return;
    }
    setText(*next);
    emit wheelStepped();
    QLineEdit::wheelEvent(event);
}
