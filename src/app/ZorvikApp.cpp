#include "app/ZorvikApp.h"

#include "app/DataPaths.h"
#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "library/LibrarySetup.h"
#include "midi/DeviceSelection.h"
#include "midi/MidiPortBackend.h"
#include "midi/MidiSystem.h"
#include "player/AudioDriverChoice.h"

ZorvikApp::ZorvikApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(true);
}

int ZorvikApp::run(const QString &libraryFolder)
{
    // The library is decided before any window lists it, and stays for the run.
    const LibraryLocation library = LibraryLocation::decide(libraryFolder, LibraryLocation::userLibraryFolder());
    DataPaths::setLibrary(library);
    const LibrarySetup::Result setup = LibrarySetup::prepare(library);

    MidiSystem midi;
    MainWindow window(prompts);
    Workspace workspace(window, midi, prompts);
    workspace.setAudioDriver(AudioDriverChoice::fromArguments(arguments()));
    // The instrument is looked for now and whenever ports come or go.
    midi.devices().startWatching();
    window.show();
    if (!setup.problem.isEmpty())
        prompts.inform(setup.problem, {}, PromptService::Icon::Warning);
    return exec();
}
