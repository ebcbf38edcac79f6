#include "core/midi/DeviceSelection.h"

#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"

#include <algorithm>

const QString DeviceSelection::noInstrumentText = QStringLiteral("Zorvik Simulator — no instrument found");
const QString DeviceSelection::notConnectedSuffix = QStringLiteral(" — not connected");
const QString DeviceSelection::noOutputText = QStringLiteral("No MIDI Out device");
const QString DeviceSelection::noInputText = QStringLiteral("No MIDI In device");

DeviceSelection::DeviceSelection(MidiSystem &midiSystem)
    : midi(midiSystem), shownLabel(noInstrumentText)
{
    timer.setInterval(pollMs);
    connect(&timer, &QTimer::timeout, this, &DeviceSelection::update);
    shownDetails = QStringLiteral("MIDI Out: %1\nMIDI In: %1").arg(noInstrumentText);
}

void DeviceSelection::startWatching()
{
    update();
    timer.start();
}

void DeviceSelection::stopWatching()
{
    timer.stop();
}

void DeviceSelection::choose(int output, int input)
{
    following = false;
    use(output, input);
    update();
}

void DeviceSelection::use(int output, int input)
{
    outputDevice = output;
    inputDevice = input;
}

void DeviceSelection::followInstrument()
{
    following = true;
    update();
}

void DeviceSelection::update()
{
    const QList<MidiSystem::Device> outputs = midi.outputs();
    const QList<MidiSystem::Device> inputs = midi.inputs();
    lastFound = InstrumentFinder::find(outputs, inputs);
    const int oldOut = outputDevice;
    const int oldIn = inputDevice;
    if (following && !midi.capture().isBusy()) {
        outputDevice = lastFound.output;
        inputDevice = lastFound.input;
    }
    const QString outText = describe(out, outputDevice, MidiSystem::simulatorOutput, outputs, noOutputText);
    const QString inText = describe(in, inputDevice, MidiSystem::simulatorInput, inputs, noInputText);
    const QString details = QStringLiteral("MIDI Out: %1\nMIDI In: %2").arg(outText, inText);
    const auto listed = [&outputs](int number) {
        return number != MidiSystem::simulatorOutput
               && std::any_of(outputs.begin(), outputs.end(),
                              [number](const MidiSystem::Device &device) { return device.number == number; });
    };
    const bool system = listed(outputDevice);
    // A port that went away may come back under the same name (a replugged instrument, a
    // restarted zorvik-sim): the connection kept to the old one would lose every message.
    if ((oldOut != MidiSystem::simulatorOutput && !listed(oldOut)) || (outputDevice != MidiSystem::simulatorOutput && !system))
        midi.releaseOutput();
    if (outText == shownLabel && details == shownDetails && system == systemOutput && oldOut == outputDevice
        && oldIn == inputDevice)
        return;
    shownLabel = outText;
    shownDetails = details;
    systemOutput = system;
    emit changed();
}

QString DeviceSelection::describe(InUse &inUse, int number, int builtIn, const QList<MidiSystem::Device> &devices,
                                  const QString &missing) const
{
    if (number != inUse.number) {
        inUse.number = number;
        inUse.lastName.clear();
    }
    if (number == builtIn)
        return following ? noInstrumentText : midi.builtInName();
    for (const auto &device : devices) {
        if (device.number == number) {
            inUse.lastName = device.name;
            return device.name;
        }
    }
    return inUse.lastName.isEmpty() ? missing : inUse.lastName + notConnectedSuffix;
}
