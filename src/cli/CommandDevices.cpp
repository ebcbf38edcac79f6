#include "cli/CommandDevices.h"

#include "cli/CommandOutput.h"
#include "cli/ControlCommands.h"
#include "cli/ControlOptions.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/InstrumentFinder.h"
#include "core/midi/MidiPortBackend.h"

#include <QStringList>

#include <optional>

namespace {

using Way = CommandDevices::Way;

QString deviceList(const QList<MidiSystem::Device> &devices, Way way)
{
    QStringList entries;
    for (const auto &device : devices)
        entries.append(QStringLiteral("%1 %2%3").arg(CommandDevices::numberOf(device.id, way)).arg(device.name,
                           device.id.isBuiltIn() ? QStringLiteral(" (built-in)") : QString()));
    return entries.join(QStringLiteral(", "));
}

// One line that shows what there is and how to choose.
QString noInstrument(const QList<MidiSystem::Device> &outputs, const QList<MidiSystem::Device> &inputs, bool output)
{
    return QStringLiteral("no instrument found: no MIDI %1 port has \"Zorvik\" in its name (MIDI Out: %2; MIDI In: %3); "
                          "choose with --out PORT and --in PORT, a number or a name from these lists; the built-in "
                          "simulator is --out -1 --in 0, or --out \"Zorvik Simulator\" --in \"Zorvik Simulator\"")
        .arg(output ? QStringLiteral("Out") : QStringLiteral("In"),
             deviceList(outputs, Way::Out), deviceList(inputs, Way::In));
}

// A device given by number, by exact name, or by a part of its name that only one device has.
// An exact name wins over names that merely contain it: "Zorvik Simulator" is the built-in
// simulator even while zorvik-sim's "zorvik-sim:Zorvik Simulator" is listed. Among names that
// only contain the text, a system port wins over the built-in simulator, so "--jack --out
// zorvik-sim" reaches zorvik-sim.
std::optional<MidiDevice> findDevice(const QList<MidiSystem::Device> &devices, const QString &wanted, Way way)
{
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    if (isNumber) {
        for (const auto &device : devices)
            if (CommandDevices::numberOf(device.id, way) == number)
                return device.id;
        return std::nullopt;
    }
    QList<MidiDevice> exact;
    for (const auto &device : devices)
        if (device.name == wanted)
            exact.append(device.id);
    if (exact.size() == 1)
        return exact.first();
    if (exact.size() > 1)
        return std::nullopt;   // ambiguous: the number tells them apart
    QList<MidiDevice> system;
    bool builtInMatches = false;
    for (const auto &device : devices) {
        if (!device.name.contains(wanted, Qt::CaseInsensitive))
            continue;
        if (device.id.isBuiltIn())
            builtInMatches = true;
        else
            system.append(device.id);
    }
    if (system.size() == 1)
        return system.first();
    if (system.isEmpty() && builtInMatches)
        return MidiDevice::builtIn();
    return std::nullopt;
}

} // namespace

int CommandDevices::numberOf(MidiDevice device, Way way)
{
    return way == Way::Out ? device.outputNumber() : device.inputNumber();
}

QString CommandDevices::nameOf(const QList<MidiSystem::Device> &devices, MidiDevice wanted, Way way)
{
    for (const auto &device : devices)
        if (device.id == wanted)
            return device.name;
    return QString::number(numberOf(wanted, way));
}

// Chooses the devices in use from --out and --in. Given only one of them, a command that needs
// both directions (or only the other one) takes the device of the same name the other way: an
// instrument's output and input go together, and listening to the simulator while sending to
// the instrument would only wait in vain.
int CommandDevices::choose(MidiSystem &midi, DeviceSelection &devices, const ControlOptions &options, Uses uses)
{
    const QList<MidiSystem::Device> outputs = midi.outputs();
    const QList<MidiSystem::Device> inputs = midi.inputs();
    // Neither named: the instrument, found by name; the built-in simulator only when named.
    const InstrumentFinder::Choice instrument = InstrumentFinder::find(outputs, inputs);
    std::optional<MidiDevice> out = instrument.output;
    std::optional<MidiDevice> in = instrument.input;
    // A server that does not answer lists no devices: neither a name nor the instrument may fall
    // to the built-in simulator then; only its own numbers still reach it.
    if (!midi.systemPorts().problem().isEmpty()) {
        const bool builtInNumbers = (options.out || options.in) && (!options.out || *options.out == QLatin1String("-1"))
                                    && (!options.in || *options.in == QLatin1String("0"));
        if (!builtInNumbers)
            return CommandOutput::deviceError(midi);
    }
    if (options.out && !(out = findDevice(outputs, *options.out, Way::Out))) {
        CommandOutput::fail(QStringLiteral("no single device matches %1").arg(*options.out));
        return CommandOutput::deviceError(midi);
    }
    if (options.in && !(in = findDevice(inputs, *options.in, Way::In))) {
        CommandOutput::fail(QStringLiteral("no single device matches %1").arg(*options.in));
        return CommandOutput::deviceError(midi);
    }
    const auto sameName = [](const QString &given, const QList<MidiSystem::Device> &listed, MidiDevice device, Way way) {
        bool isNumber = false;
        given.toInt(&isNumber);
        return isNumber ? nameOf(listed, device, way) : given;
    };
    if (uses.in && !options.in && options.out) {
        in = findDevice(inputs, sameName(*options.out, outputs, *out, Way::Out), Way::In);
        if (!in) {
            CommandOutput::fail(QStringLiteral("no input device goes with --out %1: name one with --in").arg(*options.out));
            return ControlCommands::UsageError;
        }
    }
    if (uses.out && !options.out && options.in) {
        out = findDevice(outputs, sameName(*options.in, inputs, *in, Way::In), Way::Out);
        if (!out) {
            CommandOutput::fail(QStringLiteral("no output device goes with --in %1: name one with --out").arg(*options.in));
            return ControlCommands::UsageError;
        }
    }
    const bool outMissing = uses.out && !options.out && !options.in && !instrument.outputFound();
    const bool inMissing = uses.in && !options.out && !options.in && !instrument.inputFound();
    if (outMissing || inMissing) {
        CommandOutput::fail(noInstrument(outputs, inputs, outMissing));
        return ControlCommands::DeviceError;
    }
    // More than one instrument: say which one is used, and how to take another.
    if (!options.out && !options.in && (uses.out || uses.in)) {
        const QString note = InstrumentFinder::choiceNote(
            instrument, QStringLiteral("choose another with --out PORT and --in PORT, as 'zorvikctl ports' lists them"));
        if (!note.isEmpty())
            CommandOutput::fail(note);
    }
    devices.choose(*out, *in);
    return ControlCommands::Done;
}
