#pragma once

#include "core/sim/CommandLineSplitter.h"
#include "core/sim/SimulatorCommands.h"

#include <QByteArray>
#include <QObject>
#include <QTextStream>

class QSocketNotifier;
class VirtualPortSimulator;

// zorvik-sim's console: commands on standard input, one a line, run on the simulator; their
// answers and, unless quiet, every message received ("recv <hex>") and sent ("sent <hex>") and
// what the simulator did ("log <text>") on standard output, a line each, flushed at once: other
// programs (tests) read it as it comes. The end of standard input (Ctrl+D, /dev/null, a closed
// pipe) ends only the commands: the instrument runs until quit or a signal.
class SimulatorConsole : public QObject
{
    Q_OBJECT

public:
    // Started with standard input closed, descriptor 0 would go to the next file or socket
    // opened (a sound server's, say), and the commands would be read from it: called before
    // anything is opened, this puts /dev/null there.
    static void holdStandardInput();

    SimulatorConsole(VirtualPortSimulator &sim, bool quiet, QObject *parent = nullptr);

    // Says "ready" and takes commands from the event loop on.
    void start();

signals:
    void quitRequested();

private:
    void readInput();
    void say(const QString &line);

    QTextStream out;
    QSocketNotifier *input = nullptr;
    QByteArray chunk;   // what one read takes
    CommandLineSplitter lines;
    SimulatorCommands commands;
};
