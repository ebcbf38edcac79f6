// zorvik-sim: the simulated instrument on virtual MIDI ports, driven from the command line.
#include "core/base/StopSignals.h"
#include "core/sim/SimulatorOptions.h"
#include "devices/sim/SimulatorConsole.h"
#include "devices/sim/VirtualPortSimulator.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    SimulatorConsole::holdStandardInput();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvik-sim"));
    SimulatorOptions options;
    options.process(app);

    QTextStream err(stderr);
    VirtualPortSimulator sim;
    if (const QString refused = options.applyFaults(sim.simulator().faults); !refused.isEmpty()) {
        err << "zorvik-sim: " << refused << "\n\n" << options.helpText() << Qt::flush;
        return 1;
    }
    QString error;
    if (!sim.open(options.jack() ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, &error)) {
        err << "zorvik-sim: cannot open the virtual ports: " << error << Qt::endl;
        return 2;
    }
    int exitCode = 0;
    QObject::connect(&sim, &VirtualPortSimulator::serverLost, &app, [&] {
        err << "zorvik-sim: the MIDI server has gone away; the ports are closed." << Qt::endl;
        exitCode = 3;
        app.quit();
    });
    // A signal ends the program through its event loop, so the ports close properly.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::interrupted, &app, &QCoreApplication::quit);

    SimulatorConsole console(sim, options.quiet());
    QObject::connect(&console, &SimulatorConsole::quitRequested, &app, &QCoreApplication::quit);
    console.start();
    const int code = app.exec();
    return exitCode != 0 ? exitCode : code;
}
