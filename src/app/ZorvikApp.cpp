#include "app/ZorvikApp.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "midi/MidiPortBackend.h"
#include "midi/MidiSystem.h"

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
    window.show();
    return exec();
}
