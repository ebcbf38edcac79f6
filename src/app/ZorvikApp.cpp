#include "app/ZorvikApp.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "midi/DeviceSelection.h"
#include "midi/MidiPortBackend.h"
#include "midi/MidiSystem.h"
#include "player/AudioDriverChoice.h"

ZorvikApp::ZorvikApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(true);
}

int ZorvikApp::run()
{
    MidiSystem midi;
    MainWindow window(prompts);
    Workspace workspace(window, midi, prompts);
    workspace.setAudioDriver(AudioDriverChoice::fromArguments(arguments()));
    // The instrument is looked for now and whenever ports come or go.
    midi.devices().startWatching();
    window.show();
    return exec();
}
