#include "devices/sim/SimulatorProgram.h"

#include "core/base/StopSignals.h"
#include "core/sim/SimulatorOptions.h"
#include "devices/sim/SimulatorConsole.h"
#include "devices/sim/VirtualPortSimulator.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int SimulatorProgram::run(QCoreApplication &app, const SimulatorOptions &options)
{
    QTextStream err(stderr);
    VirtualPortSimulator sim;
    if (const QString refused = options.applyFaults(sim.simulator().faults); !refused.isEmpty()) {
        err << "zorvik-sim: " << refused << "\n\n" << options.helpText() << Qt::flush;
        return FaultRefused;
    }
    QString error;
    if (!sim.open(options.jack() ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, &error)) {
        err << "zorvik-sim: cannot open the virtual ports: " << error << Qt::endl;
        return PortsNotOpened;
    }
    int exitCode = Ended;
    QObject::connect(&sim, &VirtualPortSimulator::serverLost, &app, [&] {
        err << "zorvik-sim: the MIDI server has gone away; the ports are closed." << Qt::endl;
        exitCode = ServerLost;
        app.quit();
    });
    // A signal ends the program through its event loop, so the ports close properly.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::interrupted, &app, &QCoreApplication::quit);

    SimulatorConsole console(sim, options.quiet());
    QObject::connect(&console, &SimulatorConsole::quitRequested, &app, &QCoreApplication::quit);
    console.start();
    const int code = app.exec();
    return exitCode != Ended ? exitCode : code;
}
