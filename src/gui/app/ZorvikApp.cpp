#include "gui/app/ZorvikApp.h"

#include "core/base/LibrarySetup.h"
#include "core/base/StopSignals.h"
#include "core/midi/MidiParts.h"
#include "core/midi/MidiPortBackend.h"
#include "core/sim/SimulatorBackend.h"
#include "devices/midi/RtMidiBackend.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"

#include <cstdio>

ZorvikApp::ZorvikApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(true);
}

int ZorvikApp::run(const QString &libraryFolder, const QString &audioDriver)
{
    // The library is decided before any window lists it, and stays for the run: the window
    // hands it on to every part that uses it.
    const LibraryLocation library = LibraryLocation::decide(libraryFolder, LibraryLocation::userLibraryFolder());
    const LibrarySetup::Result setup = LibrarySetup::prepare(library);

    auto builtIn = std::make_unique<SimulatorBackend>();
    InstrumentSimulator &simulator = builtIn->simulator();
    MidiParts midi(std::move(builtIn), std::make_unique<RtMidiBackend>());
    // A USB instrument left without its driver by a program that ended while it held the
    // instrument's link is given back before the instrument is looked for.
    const QStringList recovered = midi.ports().systemPorts().recoverDevices();
    MainWindow window(library, prompts);
    Workspace workspace(window, midi, simulator, prompts);
    workspace.setAudioDriver(audioDriver);
    // The instrument is looked for now and whenever ports come or go.
    midi.devices().startWatching();
    // SIGTERM, SIGINT or SIGHUP end the editor as quitting does, so every device it holds is
    // given back (a USB instrument's link above all).
    StopSignals stopSignals;
    connect(&stopSignals, &StopSignals::interrupted, this, [this] { exit(0); });
    window.show();
    if (!setup.problem.isEmpty())
        prompts.inform(setup.problem, {}, PromptService::Icon::Warning);
    for (const QString &line : recovered)
        std::fprintf(stderr, "zorvik-halden: %s\n", qPrintable(line));
    return exec();
}
