#include "gui/app/Workspace.h"

#include "core/midi/IdleInputListener.h"
#include "core/midi/MidiParts.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/app/MainWindow.h"
#include "gui/curve/VCurveDialog.h"
#include "gui/devices/SetDeviceDialog.h"
#include "gui/devices/SimulatorWindow.h"
#include "gui/library/FileLibrary.h"
#include "gui/library/TransferDialog.h"
#include "gui/panel/LivePanel.h"
#include "gui/panel/PanelCommands.h"
#include "gui/panel/PanelEditor.h"
#include "gui/panel/PanelHistory.h"
#include "gui/player/PlayerDialog.h"
#include "gui/widgets/SkinLayout.h"

#include <QComboBox>
#include <QListWidget>

Workspace::Workspace(MainWindow &mainWindow, MidiParts &midiParts, InstrumentSimulator &simulator, PromptService &promptService)
    : QObject(&mainWindow)
    , window(mainWindow)
    , midi(midiParts)
    , builtInSimulator(simulator)
    , prompts(promptService)
    , transferDialog(new TransferDialog(midiParts.ports(), midiParts.devices(), midiParts.capture(), promptService,
                                        &mainWindow))
    , panelEditor(new PanelEditor(&mainWindow, promptService))
    , fileLibrary(new FileLibrary(&mainWindow, mainWindow.library(), promptService, *transferDialog))
    , panelCommands(new PanelCommands(&mainWindow, *panelEditor, *fileLibrary, *transferDialog, midiParts.ports(),
                                      midiParts.devices(), midiParts.capture(), mainWindow.library(), promptService))
    , idleListener(new IdleInputListener(midiParts.capture(), midiParts.devices(), this))
    , livePanel(new LivePanel(*panelEditor, *idleListener, this))
{
    window.setPanelPlaceholders(false);
    // The lists sit in dark wells of the skin; only these widgets take the dark look, so the
    // dialogs opened from the window keep the desktop's.
    window.setStyleSheet(QStringLiteral(
        "QListWidget#names, QListWidget#files, QListWidget#markers {"
        " background: #14171c; color: #d6dbe3; border: 1px solid #3a404a; font-size: 11px; }"
        "QListWidget#names::item:selected, QListWidget#files::item:selected {"
        " background: #2f6fd0; color: white; }"
        "QComboBox#fileTypes { background: #1d2128; color: #e8ecf2; border: 1px solid #4a515c; padding: 1px 6px; }"
        "QComboBox#fileTypes QAbstractItemView { background: #1d2128; color: #e8ecf2;"
        " selection-background-color: #2f6fd0; }"
        "LabelEdit, ValueEdit, ChannelEdit { background: transparent; border: none; padding: 0px; }"));
    fileLibrary->typeBox()->setGeometry(SkinLayout::fileTypeCombo());
    fileLibrary->fileList()->setGeometry(SkinLayout::fileList());
    fileLibrary->markerList()->setGeometry(SkinLayout::markerList());

    connect(&window, &MainWindow::saveAndSendRequested, panelCommands, &PanelCommands::saveAndSend);
    connect(&window, &MainWindow::resetToDefaultsRequested, panelCommands, &PanelCommands::resetToDefaults);
    connect(&window, &MainWindow::receiveRequested, panelCommands, &PanelCommands::receiveAndLoad);
    connect(&window, &MainWindow::setDeviceRequested, this, &Workspace::openSetDevice);
    connect(&window, &MainWindow::simulatorRequested, this, &Workspace::openSimulator);
    connect(&window, &MainWindow::curveEditorRequested, this, &Workspace::openCurveEditor);
    connect(fileLibrary, &FileLibrary::loadTemplateRequested, panelCommands, &PanelCommands::loadTemplate);
    connect(fileLibrary, &FileLibrary::compareTemplateRequested, panelCommands, &PanelCommands::compareTemplate);
    connect(fileLibrary, &FileLibrary::playRequested, this, &Workspace::openPlayer);
    window.setCloseGuard([this] { return panelCommands->mayQuit(); });
    window.setUndoActions(panelEditor->history().undoAction(), panelEditor->history().redoAction());
    window.setLivePanelAction(livePanel->action());

    DeviceSelection &devices = midi.devices();
    const auto showDevice = [this, &devices] {
        this->window.showDevice(devices.label(), devices.details(), devices.systemOutputInUse());
    };
    connect(&devices, &DeviceSelection::changed, this, showDevice);
    showDevice();
}

Workspace::~Workspace() = default;

void Workspace::openSetDevice()
{
    SetDeviceDialog dialog(midi.ports(), midi.devices(), &window);
    // Modal to the main window only, as every dialog: the simulator window stays usable.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

void Workspace::openSimulator()
{
    // The simulator window stays open beside the editor, so its notes and dumps can be
    // triggered while dialogs listen. It is a top-level window of its own: dialogs are modal to
    // the main window and its children, and a window owned by the main window would be blocked
    // with it. Closing the main window still ends the program.
    if (!simulatorWindow) {
        simulatorWindow = std::make_unique<SimulatorWindow>(builtInSimulator);
        simulatorWindow->setAttribute(Qt::WA_QuitOnClose, false);
    }
    simulatorWindow->show();
    simulatorWindow->raise();
}

void Workspace::openCurveEditor()
{
    VCurveDialog editor(midi.sender(), midi.capture(), window.library(), prompts, velocityMap, &window);
    editor.exec();
}

void Workspace::openPlayer(const PlayerInputs &inputs)
{
    SongEngine::Options options;
    options.audioDriver = audioDriver;
    PlayerDialog player(window.library(), prompts, inputs, options, &window);
    player.exec();
}
