#pragma once

#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

// The one table that maps the program's pictures to artwork files. Every picture has a name
// here (Id); its number is written here only, and the rest of the program uses the name.
// Vector pictures are rendered at the device pixel ratio they are asked for, so they stay
// crisp on high-DPI screens.
class SkinResources
{
public:
    enum Id : int {
        Cursor_Drag = 106,
        AppIcon = 128,
        VertexBall = 174,
        SlotBoxBackground = 199,
        AboutNormal = 205, AboutHover = 206,
        SaveHover = 207, SaveNormal = 208,
        DefaultHover = 209, DefaultNormal = 210,
        CurveHover = 211, CurveNormal = 212,
        DeviceNormal = 213, DeviceHover = 214,
        HelpHover = 215, HelpNormal = 216,
        WebHover = 217, WebNormal = 218,
        MinimiseNormal = 220, CloseHover = 221, CloseNormal = 222,
        ReceiveHover = 223, ReceiveNormal = 224,
        MinimiseHover = 227,
        StepDownHover = 228, StepDownNormal = 229,
        StepUpHover = 230, StepUpNormal = 231,
        ModeController = 232, ModeNote = 233,
        ChannelBoxBackground = 234,
        Joystick = 235, JoystickUp = 241, JoystickDown = 242, JoystickBoth = 285,
        // Knob 4 and Pad 7 have odd numbers in the plain sets; 251 and 271 name nothing.
        Knob1 = 248, Knob2 = 249, Knob3 = 250, Knob4 = 252, Knob5 = 253, Knob6 = 254, Knob7 = 255, Knob8 = 256,
        KnobLit1 = 257, KnobLit2 = 258, KnobLit3 = 259, KnobLit4 = 260,
        KnobLit5 = 261, KnobLit6 = 262, KnobLit7 = 263, KnobLit8 = 264,
        Pad1 = 265, Pad2 = 266, Pad3 = 267, Pad4 = 268, Pad5 = 269, Pad6 = 270, Pad7 = 281, Pad8 = 272,
        PadLit1 = 273, PadLit2 = 274, PadLit3 = 275, PadLit4 = 276,
        PadLit5 = 277, PadLit6 = 278, PadLit7 = 279, PadLit8 = 280,
        PedalLit = 282, Pedal = 283,
        Skin = 203,
        Cursor_Hand = 1021,
    };

    // The colour raster pictures of the skin use for their see-through pixels: magenta.
    static QColor keyColour() { return QColor(255, 0, 255); }

    // Plain and highlighted pictures of Knob 1-8 and Pad 1-8, by slot index 0-7.
    static int knobPicture(int index, bool lit);
    static int padPicture(int index, bool lit);

    // ":/art/<file>" for a known number, else empty.
    static QString path(int id);
    static bool exists(int id) { return !path(id).isEmpty(); }
    // Size of the picture at 1x; empty for an unknown number.
    static QSize size(int id);
    // The picture rendered at the given device pixel ratio; null for an unknown number.
    static QPixmap pixmap(int id, qreal devicePixelRatio = 1.0);
    static QIcon icon();
    static QCursor cursor(int id, qreal devicePixelRatio = 1.0);
    static QList<int> ids();
};
