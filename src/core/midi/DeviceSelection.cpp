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
    if (following && !midi.capture().isBusy() && !midi.exchangeOpen()) {
        outputDevice = lastFound.output;
        inputDevice = lastFound.input;
    }
    const QString outText = describe(out, outputDevice, MidiSystem::simulatorOutput, outputs, noOutputText);
    const QString inText = describe(in, inputDevice, MidiSystem::simulatorInput, inputs, noInputText);
    // A device reached around its port says so: its SysEx goes through the USB link.
    const auto routed = [this](const QString &text, const QString &name, const QString &form) {
        const QString route = name.isEmpty() ? QString() : midi.directRoute(name);
        return route.isEmpty() ? text : form.arg(text, route);
    };
    const QString outName = nameOf(outputDevice, MidiSystem::simulatorOutput, outputs);
    const QString inName = nameOf(inputDevice, MidiSystem::simulatorInput, inputs);
    QString details = QStringLiteral("MIDI Out: %1\nMIDI In: %2")
                          .arg(routed(outText, outName, QStringLiteral("%1, SysEx through the %2")),
                               routed(inText, inName, QStringLiteral("%1, SysEx through the %2")));
    // More than one instrument: which one is used, and how to take another.
    if (following && outputDevice == lastFound.output && inputDevice == lastFound.input) {
        const QString note = InstrumentFinder::choiceNote(lastFound, QStringLiteral("choose another in Set Device."));
        if (!note.isEmpty())
            details += QLatin1Char('\n') + note;
    }
    const QString labelText = routed(outText, outName, QStringLiteral("%1 (%2)"));
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
    if (labelText == shownLabel && details == shownDetails && system == systemOutput && oldOut == outputDevice
        && oldIn == inputDevice)
        return;
    shownLabel = labelText;
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

QString DeviceSelection::nameOf(int number, int builtIn, const QList<MidiSystem::Device> &devices)
{
    if (number == builtIn)
        return {};
    for (const auto &device : devices)
        if (device.number == number)
            return device.name;
    return {};
}
