#pragma once

#include "core/panel/RangeRules.h"
#include "gui/panel/RangeEdit.h"

class PromptService;

// A box holding 000-127 (MSB, LSB, RANGE) or, as the Channel box, 01-16: checked when the user
// leaves it (corrected first, then the message), stepped by the mouse wheel while it has focus.
class ValueEdit : public RangeEdit
{
    Q_OBJECT

public:
    ValueEdit(PromptService &prompts, QWidget *parent = nullptr);

    void reset() override;
    bool commit() override;
    // The box holds three digits (two for the Channel box) but takes whatever is typed: the
    // check on leaving sees it all, rather than the box dropping keys.
    int fullWidth() const override { return RangeRules::width(rangeKind); }
    RangeRules::Kind kind() const { return rangeKind; }

signals:
    // The mouse wheel stepped the value.
    void wheelStepped();

protected:
    ValueEdit(PromptService &prompts, RangeRules::Kind kind, int backgroundId, const QColor &colour, QWidget *parent);

    void focusOutEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    PromptService &prompts;
    RangeRules::Kind rangeKind;
};
