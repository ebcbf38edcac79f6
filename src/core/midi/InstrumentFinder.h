#pragma once

#include "core/midi/MidiSystem.h"

#include <QList>
#include <QString>

// Which device is "the instrument": the first system port whose name contains "Zorvik", in any
// case, for output and for input each; the built-in simulator when there is none. The simulated
// instrument of another process (zorvik-sim) is a system port like any other, so it counts too,
// and its listed name ("zorvik-sim:Zorvik Simulator") tells it from the built-in one.
class InstrumentFinder
{
public:
    struct Choice
    {
        int output = MidiSystem::simulatorOutput;
        int input = MidiSystem::simulatorInput;
        QString outputName;   // empty when the built-in simulator stands in
        QString inputName;

        bool outputFound() const { return output != MidiSystem::simulatorOutput; }
        bool inputFound() const { return input != MidiSystem::simulatorInput; }
        bool operator==(const Choice &) const = default;
    };

    static bool isInstrument(const QString &portName);

    // The lists as MidiSystem gives them; the built-in simulator's own entries are passed over.
    static Choice find(const QList<MidiSystem::Device> &outputs, const QList<MidiSystem::Device> &inputs);
};
