#pragma once

#include "core/panel/PanelStep.h"
#include "gui/panel/PanelUndoCommand.h"

#include <QObject>

class PanelEditor;
class QAction;
class QUndoStack;

// The panel's undo and redo, on Qt's undo stack. Every accepted change of the panel is one
// step: a typed value, a burst of wheel or button steps in one box, an assignment by drag and
// drop, Default, a template or a received dump loaded. Undo and redo put box texts, assigned
// numbers and marks back; they never send anything to the instrument and never write a file.
class PanelHistory : public QObject
{
    Q_OBJECT

public:
    using Field = PanelSettings::Field;

    // Starts from what the panel shows now.
    explicit PanelHistory(PanelEditor &panel);

    QUndoStack &stack() { return *undoStack; }
    // "Undo …" and "Redo …" naming the step they act on; disabled when there is none.
    QAction *undoAction() const { return undoItem; }
    QAction *redoAction() const { return redoItem; }

    // The panel was changed as the kind says: one step from the state last recorded to what
    // it shows now. Nothing is recorded when the panel looks the same.
    void record(PanelStep::Kind kind, const PanelStep::Subject &subject = {});
    // A value accepted in a box (slot PanelState::channelBox for the Channel box).
    void recordEdit(int slot, Field field);
    // A wheel or button step in a box: steps of one session merge into one.
    void recordBurst(int slot, Field field, int session);
    // What the panel shows now was saved, sent or loaded.
    void markClean();

    // Puts a state on the panel; the undo stack's commands call it.
    void show(const PanelState &state);

public slots:
    // The box being edited is checked first, as for every panel command; a refused value
    // (its message shown) stops here.
    void undo();
    void redo();

private:
    void push(PanelStep step, std::optional<PanelUndoCommand::Burst> burst);
    void updateActions();

    PanelEditor &panel;
    QUndoStack *undoStack;
    QAction *undoItem;
    QAction *redoItem;
    PanelState recorded;
};
