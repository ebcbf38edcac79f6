#pragma once

#include "app/MessageBoxPrompts.h"

#include <QApplication>

// The one application object. Its name is left to the framework, so untitled message boxes
// carry the executable's base name ("zorvik-halden").
class ZorvikApp : public QApplication
{
public:
    ZorvikApp(int &argc, char **argv);

    // Builds the main window, runs it, and returns when it closes.
    int run();

private:
    MessageBoxPrompts prompts;
};
