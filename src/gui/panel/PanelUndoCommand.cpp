#include "gui/panel/PanelUndoCommand.h"

#include "gui/panel/PanelHistory.h"

#include <utility>

namespace {
constexpr int burstId = 0x7a0b;
} // namespace

PanelUndoCommand::PanelUndoCommand(PanelHistory &panelHistory, PanelStep step)
    : QUndoCommand(step.text())
    , history(panelHistory)
    , panelStep(std::move(step))
{
}

PanelUndoCommand::PanelUndoCommand(PanelHistory &panelHistory, PanelStep step, Burst wheelBurst)
    : PanelUndoCommand(panelHistory, std::move(step))
{
    burst = wheelBurst;
}

void PanelUndoCommand::undo()
{
    history.show(panelStep.before());
    applied = false;
}

void PanelUndoCommand::redo()
{
    if (!applied)
        history.show(panelStep.after());
    applied = true;
}

int PanelUndoCommand::id() const
{
    return burst ? burstId : -1;
}

bool PanelUndoCommand::mergeWith(const QUndoCommand *other)
{
    // Only commands of this class carry the burst id.
    const auto *next = static_cast<const PanelUndoCommand *>(other);
    if (!burst || !next->burst || *burst != *next->burst)
        return false;
    panelStep.extendTo(next->panelStep.after());
    // Turned back to where it started: nothing is left to undo.
    setObsolete(!panelStep.changesAnything());
    return true;
}
