#pragma once

#include "core/curve/VelocityCurve.h"
#include "core/song/PlayerInputs.h"

#include <QObject>

#include <memory>

class FileLibrary;
class InstrumentSimulator;
class IdleInputListener;
class LivePanel;
class MainWindow;
class MidiParts;
class PanelCommands;
class PanelEditor;
class PromptService;
class SimulatorWindow;
class TransferDialog;

// Puts the program together: the main window's panel and library parts, the one transfer
// dialog, and the commands behind the window's buttons and the library's menus. The window
// itself stays a view; this is where its requests are answered. The library is the window's:
// it is handed on from there to every part that lists, opens or saves its files.
class Workspace : public QObject
{
    Q_OBJECT

public:
    // midi: the program's MIDI objects, whose pieces go to the parts that use them; simulator:
    // the built-in simulator behind midi's built-in device, for its window.
    Workspace(MainWindow &window, MidiParts &midi, InstrumentSimulator &simulator, PromptService &prompts);
    ~Workspace() override;

    PanelEditor &panel() { return *panelEditor; }
    FileLibrary &library() { return *fileLibrary; }
    PanelCommands &commands() { return *panelCommands; }
    TransferDialog &transfer() { return *transferDialog; }
    LivePanel &live() { return *livePanel; }
    // The built-in simulator's window, once the user opened it.
    SimulatorWindow *simulator() const { return simulatorWindow.get(); }
    // The player's sound output (--audio-driver); empty for the usual choice.
    void setAudioDriver(const QString &name) { audioDriver = name; }

private:
    void openSetDevice();
    void openSimulator();
    void openCurveEditor();
    void openPlayer(const PlayerInputs &inputs);

    MainWindow &window;
    MidiParts &midi;
    InstrumentSimulator &builtInSimulator;
    PromptService &prompts;
    TransferDialog *transferDialog;
    PanelEditor *panelEditor;
    FileLibrary *fileLibrary;
    PanelCommands *panelCommands;
    IdleInputListener *idleListener;
    LivePanel *livePanel;
    // The velocity map outlives each opening of the curve editor; all zeros until it first opens.
    VelocityMap velocityMap{};
    std::unique_ptr<SimulatorWindow> simulatorWindow;
    QString audioDriver;
};
