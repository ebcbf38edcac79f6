#pragma once

#include "core/panel/PanelStep.h"

#include <QUndoCommand>

#include <optional>

class PanelHistory;

// A PanelStep on the undo stack. It holds the panel's states by control and field, and puts
// them back through the history, which never sends or writes anything.
class PanelUndoCommand : public QUndoCommand
{
public:
    // Steps of one burst merge into one: the wheel turned over one box within one focus of it,
    // or the Channel box's buttons clicked one after the other.
    struct Burst
    {
        int slot = PanelState::channelBox;
        PanelSettings::Field field = PanelSettings::Field::Channel;
        int session = 0;
        bool operator==(const Burst &) const = default;
    };

    PanelUndoCommand(PanelHistory &history, PanelStep step);
    PanelUndoCommand(PanelHistory &history, PanelStep step, Burst burst);

    const PanelStep &step() const { return panelStep; }

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

private:
    PanelHistory &history;
    PanelStep panelStep;
    std::optional<Burst> burst;
    // The panel already shows the step when it is pushed.
    bool applied = true;
};
