#include "app/ZorvikApp.h"

#include "app/DeviceChoice.h"
#include "app/MainWindow.h"

ZorvikApp::ZorvikApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(true);
}

int ZorvikApp::run()
{
    DeviceChoice::resetToDefaults();
    MainWindow window(prompts);
    window.show();
    return exec();
}
