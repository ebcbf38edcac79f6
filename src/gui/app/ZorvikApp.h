#pragma once

#include "gui/widgets/MessageBoxPrompts.h"

#include <QApplication>

// The one application object. Its name is left to the framework, so untitled message boxes
// carry the executable's base name ("zorvik-halden").
class ZorvikApp : public QApplication
{
public:
    ZorvikApp(int &argc, char **argv);

    // Decides and prepares the library (libraryFolder: the --library folder, or empty), builds
    // the main window (audioDriver: the --audio-driver name, or empty), runs it, and returns
    // when it closes.
    int run(const QString &libraryFolder = {}, const QString &audioDriver = {});

private:
    MessageBoxPrompts prompts;
};
