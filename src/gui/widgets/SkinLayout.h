#pragma once

#include "core/panel/PanelSettings.h"

#include <QRect>
#include <QSize>

// Where everything sits on the main window's skin, in pixels at 1x (the skin's own size).
// The skin artwork is drawn to these numbers; the panel and the library place their controls
// with them, so a box always lands on the well painted for it. docs/skin.md lists them.
class SkinLayout
{
public:
    static constexpr QSize skinSize{899, 575};
    // Dragging the background within this many pixels of the top edge moves the window.
    static constexpr int dragBandHeight = 50;
    // The window's dialog units become pixels at this rate (899 x 575 px over 598 x 384 units).
    static constexpr double pixelsPerDialogUnit = 1.5;

    enum class Button { Save, Default, Device, Web, Receive, Help, About, Curve, Minimise, Close };
    enum class Area { Joystick, Names, Pedal, Markers, Plate, Library, Knobs, Pads };

    static QRect button(Button button);
    static QRect area(Area area);

    // Picture of the control that shows a slot (PanelSettings::Slot: the four joystick
    // directions share one picture).
    static QRect controlPicture(int slot);
    // One of a slot's six boxes, field in box order: 0 CH, 1 CC, 2 MSB, 3 LSB,
    // 4 RANGE high, 5 RANGE low (three rows of two).
    static QRect slotBox(int slot, int field);

    static QRect nameList();
    static QRect modeButton();
    static QRect channelBox();
    static QRect channelUp();
    static QRect channelDown();
    static QRect markerList();
    static QRect fileTypeCombo();
    static QRect fileList();

    static QRect fromDialogUnits(int x, int y, int width, int height);

    static constexpr int slotCount = PanelSettings::slotCount;
    static constexpr int boxesPerSlot = PanelSettings::boxFieldCount;
    static constexpr QSize boxSize{26, 16};
};
