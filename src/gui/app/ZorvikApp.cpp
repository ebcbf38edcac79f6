#include "gui/app/ZorvikApp.h"

#include "core/base/DataPaths.h"
#include "core/base/LibrarySetup.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/SimulatorBackend.h"
#include "devices/midi/RtMidiBackend.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"

ZorvikApp::ZorvikApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(true);
}

int ZorvikApp::run(const QString &libraryFolder, const QString &audioDriver)
{
    // The library is decided before any window lists it, and stays for the run.
    const LibraryLocation library = LibraryLocation::decide(libraryFolder, LibraryLocation::userLibraryFolder());
    DataPaths::setLibrary(library);
    const LibrarySetup::Result setup = LibrarySetup::prepare(library);

    auto builtIn = std::make_unique<SimulatorBackend>();
    InstrumentSimulator &simulator = builtIn->simulator();
    MidiSystem midi(std::move(builtIn), std::make_unique<RtMidiBackend>());
    MainWindow window(prompts);
    Workspace workspace(window, midi, simulator, prompts);
    workspace.setAudioDriver(audioDriver);
    // The instrument is looked for now and whenever ports come or go.
    midi.devices().startWatching();
    window.show();
    if (!setup.problem.isEmpty())
        prompts.inform(setup.problem, {}, PromptService::Icon::Warning);
    return exec();
}
