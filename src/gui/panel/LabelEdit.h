#pragma once

#include "gui/panel/RangeEdit.h"

// The CH and CC boxes of a slot. In channel mode a box holds three digits and resets to "001";
// a CC box takes any length and shows note names and "-PB" as the program sets them. A text too
// wide for the small box ("G#-2") is drawn in a smaller font, so it shows whole.
class LabelEdit : public RangeEdit
{
    Q_OBJECT

public:
    enum Mode { Free = 0, Channel = 1 };

    explicit LabelEdit(QWidget *parent = nullptr);

    void setMode(Mode mode);
    Mode mode() const { return currentMode; }
    void reset() override;
    // Whatever was typed is accepted.
    bool commit() override;

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitText();

    Mode currentMode = Free;
    int fullPixelSize = 0;   // the box's own font size, which a short text keeps
};
