#include "core/midi/InstrumentFinder.h"

bool InstrumentFinder::isInstrument(const QString &portName)
{
    return portName.contains(QLatin1String("Zorvik"), Qt::CaseInsensitive);
}

InstrumentFinder::Choice InstrumentFinder::find(const QList<MidiSystem::Device> &outputs,
                                                const QList<MidiSystem::Device> &inputs)
{
    Choice choice;
    for (const auto &device : outputs) {
        if (device.number != MidiSystem::simulatorOutput && isInstrument(device.name)) {
            choice.output = device.number;
            choice.outputName = device.name;
            break;
        }
    }
    for (const auto &device : inputs) {
        if (device.number != MidiSystem::simulatorInput && isInstrument(device.name)) {
            choice.input = device.number;
            choice.inputName = device.name;
            break;
        }
    }
    return choice;
}
