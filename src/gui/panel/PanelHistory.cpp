#include "gui/panel/PanelHistory.h"

#include "gui/panel/PanelEditor.h"

#include <QAction>
#include <QUndoStack>

#include <utility>

namespace {
// Each step keeps two states of a few kilobytes.
constexpr int stepLimit = 1000;
} // namespace

PanelHistory::PanelHistory(PanelEditor &panelEditor)
    : QObject(&panelEditor)
    , panel(panelEditor)
    , undoStack(new QUndoStack(this))
    , undoItem(new QAction(this))
    , redoItem(new QAction(this))
    , recorded(panelEditor.state())
{
    undoStack->setUndoLimit(stepLimit);
    undoItem->setObjectName(QStringLiteral("undoPanel"));
    redoItem->setObjectName(QStringLiteral("redoPanel"));
    connect(undoItem, &QAction::triggered, this, &PanelHistory::undo);
    connect(redoItem, &QAction::triggered, this, &PanelHistory::redo);
    connect(undoStack, &QUndoStack::indexChanged, this, &PanelHistory::updateActions);
    connect(undoStack, &QUndoStack::canUndoChanged, this, &PanelHistory::updateActions);
    connect(undoStack, &QUndoStack::canRedoChanged, this, &PanelHistory::updateActions);
    connect(undoStack, &QUndoStack::undoTextChanged, this, &PanelHistory::updateActions);
    connect(undoStack, &QUndoStack::redoTextChanged, this, &PanelHistory::updateActions);
    updateActions();
}

void PanelHistory::updateActions()
{
    const auto name = [](const QString &verb, bool can, const QString &what) {
        return can ? verb + QLatin1Char(' ') + what : verb;
    };
    undoItem->setText(name(QStringLiteral("Undo"), undoStack->canUndo(), undoStack->undoText()));
    undoItem->setEnabled(undoStack->canUndo());
    redoItem->setText(name(QStringLiteral("Redo"), undoStack->canRedo(), undoStack->redoText()));
    redoItem->setEnabled(undoStack->canRedo());
}

void PanelHistory::push(PanelStep step, std::optional<PanelUndoCommand::Burst> burst)
{
    recorded = step.after();
    if (burst)
        undoStack->push(new PanelUndoCommand(*this, std::move(step), *burst));
    else
        undoStack->push(new PanelUndoCommand(*this, std::move(step)));
}

void PanelHistory::record(PanelStep::Kind kind, const PanelStep::Subject &subject)
{
    PanelStep step(kind, subject, recorded, panel.state());
    if (!step.changesAnything()) {
        // The rest of the records may have followed the boxes (a save): keep them current.
        recorded = step.after();
        return;
    }
    push(std::move(step), std::nullopt);
}

void PanelHistory::recordEdit(int slot, Field field)
{
    record(PanelStep::Kind::Edit, {slot, field, {}});
}

void PanelHistory::recordBurst(int slot, Field field, int session)
{
    PanelStep step = PanelStep::edit(slot, field, recorded, panel.state());
    if (!step.changesAnything()) {
        recorded = step.after();
        return;
    }
    push(std::move(step), PanelUndoCommand::Burst{slot, field, session});
}

void PanelHistory::markClean()
{
    // Also keeps a burst from merging across a save: undoing it then comes back to what was saved.
    undoStack->setClean();
}

void PanelHistory::show(const PanelState &state)
{
    panel.restore(state);
    recorded = state;
}

void PanelHistory::undo()
{
    if (panel.commitEditing())
        undoStack->undo();
}

void PanelHistory::redo()
{
    if (panel.commitEditing())
        undoStack->redo();
}
