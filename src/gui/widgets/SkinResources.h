#pragma once

#include <QCursor>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

// The one table that maps the program's resource numbers to artwork files. A picture named
// by number anywhere in the program ("bitmap 207") is looked up here and nowhere else.
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
        PedalLit = 282, Pedal = 283,
        Skin = 203,
        Cursor_Hand = 1021,
    };

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
