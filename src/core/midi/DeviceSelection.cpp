#include "core/midi/DeviceSelection.h"

#include <algorithm>

const QString DeviceSelection::noInstrumentText = QStringLiteral("Zorvik Simulator — no instrument found");
const QString DeviceSelection::notConnectedSuffix = QStringLiteral(" — not connected");
const QString DeviceSelection::noOutputText = QStringLiteral("No MIDI Out device");
const QString DeviceSelection::noInputText = QStringLiteral("No MIDI In device");

DeviceSelection::DeviceSelection(MidiSystem &midiPorts, std::function<bool()> busyNow)
    : ports(midiPorts), busy(std::move(busyNow)), shownLabel(noInstrumentText)
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

void DeviceSelection::choose(MidiDevice output, MidiDevice input)
{
    following = false;
    use(output, input);
    update();
}

void DeviceSelection::use(MidiDevice output, MidiDevice input)
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
    const QList<MidiSystem::Device> outputs = ports.outputs();
    const QList<MidiSystem::Device> inputs = ports.inputs();
    lastFound = InstrumentFinder::find(outputs, inputs);
    const MidiDevice oldOut = outputDevice;
    const MidiDevice oldIn = inputDevice;
    if (following && !busy()) {
        outputDevice = lastFound.output;
        inputDevice = lastFound.input;
    }
    const QString outText = describe(out, outputDevice, outputs, noOutputText);
    const QString inText = describe(in, inputDevice, inputs, noInputText);
    // A device reached around its port says so: its SysEx goes through the USB link.
    const auto routed = [this](const QString &text, const QString &name, const QString &form) {
        const QString route = name.isEmpty() ? QString() : ports.directRoute(name);
        return route.isEmpty() ? text : form.arg(text, route);
    };
    const QString outName = nameOf(outputDevice, outputs);
    const QString inName = nameOf(inputDevice, inputs);
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
    const auto listed = [&outputs](MidiDevice device) {
        return !device.isBuiltIn()
               && std::any_of(outputs.begin(), outputs.end(),
                              [device](const MidiSystem::Device &entry) { return entry.id == device; });
    };
    const bool system = listed(outputDevice);
    // A port that went away may come back under the same name (a replugged instrument, a
    // restarted zorvik-sim): the connection kept to the old one would lose every message.
    if ((!oldOut.isBuiltIn() && !listed(oldOut)) || (!outputDevice.isBuiltIn() && !system))
        ports.releaseOutput();
    if (labelText == shownLabel && details == shownDetails && system == systemOutput && oldOut == outputDevice
        && oldIn == inputDevice)
        return;
    shownLabel = labelText;
    shownDetails = details;
    systemOutput = system;
    emit changed();
}

QString DeviceSelection::describe(InUse &inUse, MidiDevice device, const QList<MidiSystem::Device> &devices,
                                  const QString &missing) const
{
    if (device != inUse.device) {
        inUse.device = device;
        inUse.lastName.clear();
    }
    if (device.isBuiltIn())
        return following ? noInstrumentText : ports.builtInName();
    for (const auto &listed : devices) {
        if (listed.id == device) {
            inUse.lastName = listed.name;
            return listed.name;
        }
    }
    return inUse.lastName.isEmpty() ? missing : inUse.lastName + notConnectedSuffix;
}

QString DeviceSelection::nameOf(MidiDevice device, const QList<MidiSystem::Device> &devices)
{
    if (device.isBuiltIn())
        return {};
    for (const auto &listed : devices)
        if (listed.id == device)
            return listed.name;
    return {};
}

QString DeviceSelection::inputName() const
{
    if (inputDevice.isBuiltIn())
        return ports.builtInName();
    return nameOf(inputDevice, ports.inputs());
}
