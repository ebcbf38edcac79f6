#include "gui/widgets/SkinLayout.h"

#include <cmath>

namespace {

constexpr int boxGap = 2;
constexpr int rowPitch = 18;
constexpr int firstSlotX = 60;
constexpr int slotPitch = 103;
constexpr int knobRowY = 424;
constexpr int padRowY = 508;

// Top-left corner of a slot's CH box.
QPoint slotOrigin(int slot)
{
    if (PanelSettings::isKnob(slot))
        return {firstSlotX + slotPitch * (slot - PanelSettings::Knob1) + 42, knobRowY};
    if (PanelSettings::isPad(slot))
        return {firstSlotX + slotPitch * (slot - PanelSettings::Pad1) + 42, padRowY};
    switch (slot) {
    case PanelSettings::JoystickUp: return {127, 106};   // above the joystick
    case PanelSettings::JoystickDown: return {127, 314};   // below it
    case PanelSettings::JoystickLeft: return {60, 204};
    case PanelSettings::JoystickRight: return {194, 204};
    default: return {402, 330};   // Pedal
    }
}

} // namespace

QRect SkinLayout::button(Button button)
{
    const int index = static_cast<int>(button);
    if (button <= Button::Curve)
        return {256 + 60 * index, 34, 51, 23};
    return {button == Button::Minimise ? 780 : 810, 34, 23, 23};
}

QRect SkinLayout::area(Area area)
{
    switch (area) {
    case Area::Joystick: return {10, 66, 268, 332};
    case Area::Names: return {284, 66, 202, 232};
    case Area::Pedal: return {284, 304, 202, 94};
    case Area::Markers: return {500, 66, 180, 232};
    case Area::Plate: return {500, 304, 180, 94};
    case Area::Library: return {688, 66, 150, 332};
    case Area::Knobs: return {10, 404, 879, 78};
    case Area::Pads: return {10, 488, 879, 78};
    }
    return {};
}

QRect SkinLayout::controlPicture(int slot)
{
    if (PanelSettings::isKnob(slot))
        return {firstSlotX + slotPitch * (slot - PanelSettings::Knob1), 431, 38, 38};
    if (PanelSettings::isPad(slot))
        return {firstSlotX + slotPitch * (slot - PanelSettings::Pad1), 515, 38, 38};
    if (slot >= PanelSettings::JoystickUp && slot <= PanelSettings::JoystickRight)
        return {122, 198, 64, 64};
    if (slot == PanelSettings::Pedal)
        return {300, 328, 34, 56};
    return {};
}

QRect SkinLayout::slotBox(int slot, int field)
{
    if (slot < 0 || slot >= slotCount || field < 0 || field >= boxesPerSlot)
        return {};
    const QPoint origin = slotOrigin(slot);
    return {origin.x() + (field % 2) * (boxSize.width() + boxGap), origin.y() + (field / 2) * rowPitch,
            boxSize.width(), boxSize.height()};
}

QRect SkinLayout::nameList() { return {286, 144, 195, 147}; }
QRect SkinLayout::modeButton() { return {369, 99, 12, 33}; }
QRect SkinLayout::channelBox() { return {306, 117, 17, 18}; }
QRect SkinLayout::channelUp() { return {331, 113, 15, 9}; }
QRect SkinLayout::channelDown() { return {331, 124, 15, 9}; }
QRect SkinLayout::markerList() { return {514, 87, 152, 188}; }
QRect SkinLayout::fileTypeCombo() { return {699, 87, 129, 22}; }
QRect SkinLayout::fileList() { return {696, 110, 134, 287}; }

QRect SkinLayout::fromDialogUnits(int x, int y, int width, int height)
{
    const auto px = [](int units) { return static_cast<int>(std::lround(units * pixelsPerDialogUnit)); };
    return {px(x), px(y), px(width), px(height)};
}
