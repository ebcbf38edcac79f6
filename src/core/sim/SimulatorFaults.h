#pragma once

#include "core/sim/InstrumentSimulator.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

// The simulator's faults by name, as zorvik-sim sets them: as options at its start and with
// "fault NAME VALUE" while it runs. The reply delay is a number of milliseconds; each numbered
// fault is off (-1, its default) or a number from its least sensible value; vanish-before-last
// is a switch, 1 or 0 on the command.
class SimulatorFaults
{
public:
    explicit SimulatorFaults(InstrumentSimulator::Faults &target) : faults(target) {}

    // One option per fault, in the order the usage lists them.
    static QList<QCommandLineOption> options();
    // A fault's value as typed: a whole number from `minimum`, or -1 where the fault can be off.
    static std::optional<int> value(const QString &text, int minimum, bool offAllowed);

    // Sets the faults the parsed options name. Empty, or why a value is refused
    // (--delay takes a whole number from 0, not "abc"), nothing set after it.
    QString setFromOptions(const QCommandLineParser &parser);
    // "fault NAME VALUE" in words, as typed. Empty when the fault is set, else the usage to
    // refuse it with: an unknown name, a missing or extra word, a value the option would refuse.
    QString setFromCommand(const QStringList &words);

private:
    InstrumentSimulator::Faults &faults;
};
