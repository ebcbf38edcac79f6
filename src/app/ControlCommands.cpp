#include "app/ControlCommands.h"

#include "app/CommandWatchdog.h"
#include "app/ConsolePrompts.h"
#include "app/DeviceChoice.h"
#include "curve/CurveFile.h"
#include "curve/CurveSysEx.h"
#include "library/DumpReceiver.h"
#include "library/SafeFile.h"
#include "library/SendPreparation.h"
#include "library/TransferDriver.h"
#include "midi/MidiPortBackend.h"
#include "midi/MidiSystem.h"
#include "midi/RtMidiBackend.h"
#include "sim/InstrumentSimulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <unistd.h>

namespace {

const QString programName = QStringLiteral("zorvikctl");

struct Options
{
    QString command;
    QString file;
    QString out;
    QString in;
    int number = 1;
    int timeoutSeconds = 60;
    bool jack = false;
    QString error;
};

Options parse(const QStringList &arguments)
{
    Options options;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        auto value = [&](QString &target) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("%1 needs a value").arg(arg);
                return;
            }
            target = arguments.at(++i);
        };
        if (arg == QLatin1String("--jack")) {
            options.jack = true;
        } else if (arg == QLatin1String("--out")) {
            value(options.out);
        } else if (arg == QLatin1String("--in")) {
            value(options.in);
        } else if (arg == QLatin1String("--number") || arg == QLatin1String("--timeout")) {
            QString text;
            value(text);
            bool ok = false;
            const int n = text.toInt(&ok);
            if (!ok || n < 1)
                options.error = QStringLiteral("%1 takes a whole number from 1").arg(arg);
            else if (arg == QLatin1String("--number"))
                options.number = n;
            else
                options.timeoutSeconds = n;
        } else if (arg.startsWith(QLatin1String("--"))) {
            options.error = QStringLiteral("unknown option %1").arg(arg);
        } else {
            positional.append(arg);
        }
        if (!options.error.isEmpty())
            return options;
    }
    if (!positional.isEmpty())
        options.command = positional.takeFirst();
    if (!positional.isEmpty())
        options.file = positional.takeFirst();
    if (!positional.isEmpty())
        options.error = QStringLiteral("unexpected argument %1").arg(positional.first());
    return options;
}

void fail(const QString &reason)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(programName), qPrintable(reason));
}

// A device failure that a stalled MIDI server explains says so.
int deviceError(MidiSystem &midi)
{
    const QString why = midi.systemPorts().problem();
    if (!why.isEmpty())
        fail(why);
    return ControlCommands::DeviceError;
}

// A device given by number, by exact name, or by a part of its name that only one device has.
// A system port wins over the built-in simulator when both match, so "--jack --out 'Zorvik
// Simulator'" reaches zorvik-sim.
std::optional<int> findDevice(const QList<MidiSystem::Device> &devices, const QString &wanted, int builtIn)
{
    if (wanted.isEmpty())
        return builtIn;
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    if (isNumber) {
        for (const auto &device : devices)
            if (device.number == number)
                return device.number;
        return std::nullopt;
    }
    bool builtInMatches = false;
    for (const bool exact : {true, false}) {
        QList<int> system;
        for (const auto &device : devices) {
            const bool match = exact ? device.name == wanted : device.name.contains(wanted, Qt::CaseInsensitive);
            if (match && device.number == builtIn)
                builtInMatches = true;
            else if (match)
                system.append(device.number);
        }
        if (system.size() == 1)
            return system.first();
        if (system.size() > 1)
            return std::nullopt;   // ambiguous
    }
    if (builtInMatches)
        return builtIn;
    return std::nullopt;
}

FileKind kindOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mid"))
        return FileKind::Song;
    if (suffix == QLatin1String("syx"))
        return FileKind::Template;
    if (suffix == QLatin1String("csf"))
        return FileKind::Csf;
    if (suffix == QLatin1String("bin"))
        return FileKind::Firmware;
    return FileKind::None;
}

// A progress bar on a terminal; nothing on a pipe, where scripts read only the last line.
void showProgress(int value, int maximum)
{
    if (!isatty(fileno(stderr)) || maximum <= 0)
        return;
    constexpr int width = 30;
    const int filled = width * value / maximum;
    std::fprintf(stderr, "\r[%s%s] %3d%% %d/%d blocks", QByteArray(filled, '#').constData(),
                 QByteArray(width - filled, ' ').constData(), 100 * value / maximum, value, maximum);
    if (value == maximum)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

int sendFile(MidiSystem &midi, ConsolePrompts &prompts, const Options &options, CommandWatchdog &watchdog)
{
    const FileKind kind = kindOf(options.file);
    if (kind == FileKind::None) {
        fail(QStringLiteral("cannot tell the kind of %1: use .mid, .syx, .csf or .bin").arg(options.file));
        return ControlCommands::UsageError;
    }
    const auto prepared = SendPreparation::prepareFile(kind, options.file, QFileInfo(options.file).fileName());
    if (!prepared.ok) {
        prompts.ask(prepared.problem);
        return ControlCommands::FileRefused;
    }

    TransferDriver driver(midi, prompts);
    driver.session().setReplyTimeout(qint64(options.timeoutSeconds) * 1000);
    driver.open(kind, prepared.image);
    driver.session().setNumber(options.number);
    if (driver.session().number() != options.number) {
        fail(QStringLiteral("--number must be from 1 to %1 for this kind of file").arg(driver.session().numberMaximum()));
        return ControlCommands::UsageError;
    }

    QEventLoop loop;
    int code = ControlCommands::Done;
    QObject::connect(&driver, &TransferDriver::changed, &loop, [&] {
        watchdog.feed();
        if (driver.session().state() == TransferSession::State::Sending)
            showProgress(driver.session().progressValue(), driver.session().progressMaximum());
    });
    QObject::connect(&driver, &TransferDriver::finished, &loop, [&] {
        showProgress(driver.session().blockCount(), driver.session().blockCount());
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::closeRequested, &loop, [&] {
        code = deviceError(midi);
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::failed, &loop, [&] {
        // A template the device refused was told as it happened; the status line is unchanged.
        if (driver.session().statusText() != TransferSession::openingStatus())
            fail(driver.session().statusText());
        code = deviceError(midi);
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::timedOut, &loop, [&] {
        fail(QStringLiteral("the instrument stopped answering after %1 of %2 blocks")
                 .arg(driver.session().blocksSent())
                 .arg(driver.session().blockCount()));
        const QString why = midi.systemPorts().problem();
        if (!why.isEmpty())
            fail(why);
        code = why.isEmpty() ? ControlCommands::InstrumentSilent : ControlCommands::DeviceError;
        loop.quit();
    });

    driver.send();
    if (driver.busy())   // waiting for the device, or a block transfer under way
        loop.exec();
    if (code != ControlCommands::Done)
        return code;
    const bool done = kind == FileKind::Template ? driver.session().progressValue() == 1
                                                 : driver.session().state() == TransferSession::State::Finished;
    return done ? ControlCommands::Done : ControlCommands::DeviceError;
}

int receiveDump(MidiSystem &midi, ConsolePrompts &prompts, const Options &options)
{
    if (QFileInfo(options.file).suffix() != QLatin1String("syx")) {
        fail(QStringLiteral("the dump is saved as a .syx file"));
        return ControlCommands::UsageError;
    }
    DumpReceiver receiver(midi, prompts);
    QEventLoop loop;
    bool got = false;
    QObject::connect(&receiver, &DumpReceiver::received, &loop, [&] {
        got = true;
        loop.quit();
    });
    if (!receiver.listen())
        return deviceError(midi);
    QTimer::singleShot(options.timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    // The built-in simulator has no button to press: it sends its dump by itself.
    if (DeviceChoice::midiIn == MidiSystem::simulatorInput)
        QTimer::singleShot(0, &midi.simulator(), [&midi] { midi.simulator().sendDump(); });
    loop.exec();
    if (!got) {
        fail(QStringLiteral("no template dump arrived within %1 seconds").arg(options.timeoutSeconds));
        const QString why = midi.systemPorts().problem();
        if (!why.isEmpty())
            fail(why);
        return why.isEmpty() ? ControlCommands::InstrumentSilent : ControlCommands::DeviceError;
    }
    const QString error = SafeFile::write(options.file, receiver.dump());
    if (!error.isEmpty()) {
        fail(error);
        return ControlCommands::SaveFailed;
    }
    std::fprintf(stderr, "%s: saved %lld bytes to %s\n", qPrintable(programName),
                 static_cast<long long>(receiver.dump().size()), qPrintable(options.file));
    return ControlCommands::Done;
}

int listPorts(MidiSystem &midi)
{
    const auto outputs = midi.outputs();
    const auto inputs = midi.inputs();
    const QString why = midi.systemPorts().problem();
    if (!why.isEmpty()) {
        fail(why);
        return ControlCommands::DeviceError;
    }
    std::printf("Out:\n");
    for (const auto &device : outputs)
        std::printf("%4d  %s\n", device.number, qPrintable(device.name));
    std::printf("In:\n");
    for (const auto &device : inputs)
        std::printf("%4d  %s\n", device.number, qPrintable(device.name));
    return ControlCommands::Done;
}

} // namespace

ControlCommands::ControlCommands(BackendFactory factory)
    : factory(std::move(factory))
{
}

QString ControlCommands::usage()
{
    return QStringLiteral(
        "usage: zorvikctl ports [--jack]\n"
        "       zorvikctl send FILE [--number N] [--out PORT] [--in PORT] [--jack] [--timeout SECONDS]\n"
        "       zorvikctl receive FILE.syx [--in PORT] [--jack] [--timeout SECONDS]\n"
        "       zorvikctl curve FILE.crv [--out PORT] [--jack]\n"
        "The kind of FILE comes from its extension: .mid song, .syx template, .csf song file, .bin firmware.\n"
        "PORT is a device number or name as 'zorvikctl ports' lists them; the built-in simulator by default.\n"
        "Exit codes: 0 done, 1 usage, 2 file refused, 3 device error, 4 instrument silent, 5 save failed.\n");
}

int ControlCommands::run(const QStringList &arguments)
{
    const Options options = parse(arguments);
    if (!options.error.isEmpty()) {
        fail(options.error);
        return UsageError;
    }
    const bool needsFile = options.command == QLatin1String("send") || options.command == QLatin1String("receive")
                           || options.command == QLatin1String("curve");
    if (options.command.isEmpty() || (needsFile && options.file.isEmpty())
        || (!needsFile && options.command != QLatin1String("ports"))) {
        std::fprintf(stderr, "%s", qPrintable(usage()));
        return UsageError;
    }

    // Every command ends in time, whatever the MIDI server does: no progress for the timeout
    // and two seconds more ends the process (a transfer makes progress with every reply).
    CommandWatchdog watchdog(programName, std::chrono::seconds(options.timeoutSeconds + 2), DeviceError);
    auto decided = [&watchdog](int code) {
        watchdog.decided(code);
        return code;
    };
    std::unique_ptr<MidiPortBackend> backend;
    if (factory)
        backend = factory(options.jack);
    else if (options.jack)
        backend = std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK);
    MidiSystem midi(std::move(backend));
    ConsolePrompts prompts(programName);
    if (onStarted)
        onStarted(midi);

    if (options.command == QLatin1String("ports"))
        return decided(listPorts(midi));

    const auto out = findDevice(midi.outputs(), options.out, MidiSystem::simulatorOutput);
    const auto in = findDevice(midi.inputs(), options.in, MidiSystem::simulatorInput);
    // A server that does not answer lists no devices: a name must not fall to the built-in
    // simulator then.
    const bool named = !options.out.isEmpty() || !options.in.isEmpty();
    if (named && !midi.systemPorts().problem().isEmpty())
        return decided(deviceError(midi));
    if (!out || !in) {
        fail(QStringLiteral("no single device matches %1").arg(!out ? options.out : options.in));
        return decided(deviceError(midi));
    }
    DeviceChoice::midiOut = *out;
    DeviceChoice::midiIn = *in;

    if (options.command == QLatin1String("send"))
        return decided(sendFile(midi, prompts, options, watchdog));
    if (options.command == QLatin1String("receive"))
        return decided(receiveDump(midi, prompts, options));

    const CurveFile::Result curve = CurveFile::load(options.file);
    if (!curve.ok) {
        fail(curve.message);
        return decided(FileRefused);
    }
    // The file's stored map is what the instrument gets, as with Send from the curve editor.
    MidiOutSession session(midi, prompts);
    return decided(CurveSysEx::send(session, curve.contents.map) ? Done : deviceError(midi));
}
