#pragma once

#include "core/panel/PanelState.h"

#include <QString>

// One change of the panel that can be undone and redone: what the user did, and the panel
// before and after it. Its text names what undoing or redoing it changes, for the menu's
// "Undo …" and "Redo …".
class PanelStep
{
public:
    using Field = PanelSettings::Field;

    enum class Kind {
        Edit,         // a value accepted in one box: typed, or a burst of wheel or button steps
        Assignment,   // a name dropped on a control
        Default,      // the Default command
        Load,         // a template file loaded onto the panel
        Receive,      // the instrument's dump loaded onto the panel
    };

    // What the step acted on: the box of an Edit (slot and field; slot PanelState::channelBox
    // for the Channel box), the control and the name-list entry of an Assignment, the file of
    // a Load.
    struct Subject
    {
        int slot = PanelState::channelBox;
        Field field = Field::Channel;
        QString text;
    };

    PanelStep(Kind kind, Subject subject, PanelState before, PanelState after);

    static PanelStep edit(int slot, Field field, PanelState before, PanelState after);
    static PanelStep assignment(int slot, const QString &entry, PanelState before, PanelState after);
    static PanelStep load(const QString &fileName, PanelState before, PanelState after);

    Kind kind() const { return what; }
    const Subject &subject() const { return on; }
    const PanelState &before() const { return from; }
    const PanelState &after() const { return to; }
    // A later step of the same burst: this one now ends where that one ends.
    void extendTo(const PanelState &after) { to = after; }

    // False when the panel looks the same before and after: such a step is not kept.
    bool changesAnything() const { return !from.looksLike(to); }
    QList<PanelState::Change> changes() const { return from.changesTo(to); }

    // "Knob 3 MSB", "Channel box", "Assignment of 064 Damper pedal(Sustain) to Pad 3",
    // "Default", "Load of live.syx", "Load of the received dump".
    QString text() const;

    // "Knob 1".."Knob 8", "Pad 1".."Pad 8", "Joystick Up", "Joystick Down", "Joystick Left",
    // "Joystick Right", "Pedal".
    static QString slotName(int slot);
    // The row labels of the panel: "CH", "CC", "MSB", "LSB", "RANGE high", "RANGE low"; the
    // assignment, which has no box, is "number".
    static QString fieldName(Field field);
    // "Pad 3 CC", or "Channel box".
    static QString boxName(int slot, Field field);

private:
    Kind what;
    Subject on;
    PanelState from;
    PanelState to;
};
