#pragma once

#include "core/sim/InstrumentSimulator.h"

#include <QCommandLineParser>
#include <QStringList>

class QCoreApplication;

// zorvik-sim's command line: the back end (--jack), the faults to start with, --quiet, and the
// usage, which also lists the commands it takes on standard input.
class SimulatorOptions
{
public:
    SimulatorOptions();
    SimulatorOptions(const SimulatorOptions &) = delete;
    SimulatorOptions &operator=(const SimulatorOptions &) = delete;

    // The program's arguments. --help, and an unknown option, end the process with the usage,
    // as a command line tool does.
    void process(const QCoreApplication &app);
    // The same, without ending the process: false, with errorText(), on an unknown option.
    bool parse(const QStringList &arguments);
    QString errorText() const { return parser.errorText(); }

    bool jack() const;
    bool quiet() const;
    // Sets the faults the options name. Empty, or why a value is refused, for the usage's top.
    QString applyFaults(InstrumentSimulator::Faults &faults) const;
    QString helpText() const { return parser.helpText(); }

private:
    QCommandLineParser parser;
};
