// zorvik-sim: the simulated instrument on virtual MIDI ports, driven from the command line.
#include "core/sim/SimulatorOptions.h"
#include "devices/sim/SimulatorConsole.h"
#include "devices/sim/SimulatorProgram.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    SimulatorConsole::holdStandardInput();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvik-sim"));
    SimulatorOptions options;
    options.process(app);
    return SimulatorProgram::run(app, options);
}
