#pragma once

#include "core/panel/PanelSettings.h"

#include <QList>

#include <array>

class PanelState;

// Which of the panel's controls a message from the instrument belongs to, by the assignments the
// panel holds, and the value each of them shows for it (the live panel).
//
// - Knobs send controllers, pads and the pedal a note when their CC box shows a note name (as the
//   template's note flags say) and a controller otherwise; the number is the slot's `number`, what
//   a send puts in the template. Knobs and pads listen on the channel their CH box shows (1-16,
//   status low nibble 0-15); a CH box outside 1-16 matches nothing. The joystick and the pedal
//   have no channel of their own ("---") and match every channel.
// - A note-on lights a note control with its velocity; a note-off, or a note-on with velocity 0,
//   lights nothing (the light fades by itself).
// - A joystick direction whose CC box shows "-PB" takes pitch bend by its sign: Up and Right the
//   values above the centre, Down and Left those below, the centre both; its value is how far the
//   bend goes, 0-127. A direction that sends a controller takes only the values inside its RANGE
//   (its zone), so Up and Down may share one controller; its value is how far the value lies from
//   the zone's resting end (the end next to the other direction's zone when they share the
//   controller, else the low end), scaled to 0-127.
// - Several controls may match one message; all are listed, in slot order.
class PanelMatcher
{
public:
    static constexpr int anyChannel = -1;

    enum class Sends { Nothing, Controller, Note, PitchBend };

    struct Assignment
    {
        Sends sends = Sends::Nothing;
        int channel = anyChannel;   // 0-15 on the wire, or anyChannel
        int number = 0;             // controller or note
        int low = 0;                // the RANGE, low end first
        int high = 127;
    };

    struct Hit
    {
        int slot = 0;    // PanelSettings::Slot
        int value = 0;   // 0-127: a knob's or the pedal's value, a pad's velocity, how far a joystick direction goes
        bool operator==(const Hit &) const = default;
    };

    explicit PanelMatcher(const PanelState &panel);

    QList<Hit> match(quint8 status, quint8 data1, quint8 data2) const;
    const Assignment &assignment(int slot) const { return assigned[static_cast<std::size_t>(slot)]; }

private:
    static bool isJoystick(int slot) { return slot >= PanelSettings::JoystickUp && slot <= PanelSettings::JoystickRight; }
    static int opposite(int slot);
    int zoneValue(int slot, int value) const;

    std::array<Assignment, PanelSettings::slotCount> assigned{};
};
