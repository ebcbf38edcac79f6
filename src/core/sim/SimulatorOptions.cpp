#include "core/sim/SimulatorOptions.h"

#include "core/sim/SimulatorFaults.h"

#include <QCoreApplication>

namespace {

const QString jackName = QStringLiteral("jack");
const QString quietName = QStringLiteral("quiet");

} // namespace

SimulatorOptions::SimulatorOptions()
{
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Zorvik instrument on virtual ports named \"Zorvik Simulator\".\n"
        "Commands on standard input: dump | note <key> <velocity> | cc <channel 1-16> <number> <value>\n"
        "  | bend <channel 1-16> <value -8192..8191, 0 the centre> | status | fault <name> <value> | quit\n"
        "(fault names as the options: delay, stop-after, drop-reply, garble-reply, unfinished-sysex,\n"
        " vanish-before-last 1|0; -1 turns a numbered fault off)\n"
        "It runs until quit, SIGINT or SIGTERM, also when standard input ends."));
    parser.addHelpOption();
    parser.addOption(QCommandLineOption(jackName, QStringLiteral("Use JACK instead of ALSA.")));
    parser.addOptions(SimulatorFaults::options());
    parser.addOption(QCommandLineOption(quietName, QStringLiteral("Print only ready, status and errors.")));
}

void SimulatorOptions::process(const QCoreApplication &app)
{
    parser.process(app);
}

bool SimulatorOptions::parse(const QStringList &arguments)
{
    return parser.parse(arguments);
}

bool SimulatorOptions::jack() const
{
    return parser.isSet(jackName);
}

bool SimulatorOptions::quiet() const
{
    return parser.isSet(quietName);
}

QString SimulatorOptions::applyFaults(InstrumentSimulator::Faults &faults) const
{
    return SimulatorFaults(faults).setFromOptions(parser);
}
