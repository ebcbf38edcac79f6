#pragma once

#include "core/panel/PanelDragModel.h"
#include "core/panel/PanelSettings.h"
#include "core/panel/PanelState.h"

#include <QObject>
#include <QStringList>

#include <array>

class ChannelEdit;
class ControlPicture;
class DragList;
class LabelEdit;
class PanelHistory;
class PromptService;
class QLineEdit;
class RangeEdit;
class SkinButton;
class ValueEdit;

// The panel part of the main window: six boxes for each of the 21 controls, the name list with
// its mode button, the Channel box with its step buttons, and the control pictures that names
// are dropped on. It keeps PanelSettings and moves texts between it and the boxes.
class PanelEditor : public QObject
{
    Q_OBJECT

public:
    using ListMode = PanelDragModel::ListMode;

    PanelEditor(QWidget *host, PromptService &prompts);

    PanelSettings &settings() { return panel; }

    // Default texts into every box, default assignments, no marks; the Channel box only at start.
    void resetBoxes();
    // Every box's text into PanelSettings (before a template is built).
    void storeBoxes();
    // PanelSettings into the boxes (after a template was parsed).
    void showSlots();

    // The box being edited, if it is one of the panel's, gets the checks of leaving it. Every
    // command that reads the panel calls this first; false (its message shown) stops the command.
    bool commitEditing();
    // Whether the panel holds changes made since it was last saved, sent or loaded (the start's
    // defaults count as loaded). A panel changed and changed back holds none.
    bool hasUnsavedChanges() const;
    void markUnchanged();

    // Undo and redo of the panel's changes.
    PanelHistory &history() { return *undoHistory; }
    // What the panel shows: box texts, assigned numbers, the Channel box and the marks.
    PanelState state() const;
    // Puts a state back, sending and writing nothing; the history calls it.
    void restore(const PanelState &state);

    ListMode listMode() const { return mode; }
    void toggleListMode();
    void stepChannel(int step);

    QLineEdit *box(int slot, PanelSettings::Field field) const;
    DragList *nameList() const { return names; }
    SkinButton *modeButton() const { return modeToggle; }
    ChannelEdit *channelBox() const { return channel; }
    SkinButton *stepUpButton() const { return stepUp; }
    SkinButton *stepDownButton() const { return stepDown; }
    ControlPicture *picture(int slot) const;
    const PanelDragModel &dragModel() const { return drag; }

    // The drag gesture, in the host window's coordinates.
    void dragMovedTo(const QPoint &windowPos);
    void dropAt(const QPoint &windowPos);
    void dragEnded();

private:
    void fillNameList();
    // What a screen reader says for the name list and its mode button, by list mode.
    void describeListMode();
    static QString boxDescription(PanelSettings::Field field);
    void updatePictures();
    int pictureFor(int slot) const;
    // Each accepted value and each wheel step of a box becomes a step of the history.
    void recordEdits(RangeEdit *edit, int slot, PanelSettings::Field field);
    // Every box text and every assigned number: what a save or a send would take.
    QStringList contents() const;

    QWidget *host;
    PromptService &prompts;
    PanelSettings panel;
    std::array<std::array<QLineEdit *, PanelSettings::boxFieldCount>, PanelSettings::slotCount> boxes{};
    std::array<ControlPicture *, PanelSettings::slotCount> pictures{};
    DragList *names;
    SkinButton *modeToggle;
    ChannelEdit *channel;
    SkinButton *stepUp;
    SkinButton *stepDown;
    PanelDragModel drag;
    ListMode mode = ListMode::Controller;
    int lastFound = PanelDragModel::none;
    QStringList unchanged;
    PanelHistory *undoHistory = nullptr;
};
