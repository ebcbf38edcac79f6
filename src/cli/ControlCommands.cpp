#include "cli/ControlCommands.h"

#include "core/base/StopSignals.h"
#include "cli/CommandWatchdog.h"
#include "cli/ConsolePrompts.h"
#include "cli/SongPlayCommand.h"
#include "core/base/LibraryLocation.h"
#include "core/base/PendingSave.h"
#include "core/base/SafeFile.h"
#include "core/base/WholeNumber.h"
#include "core/curve/CurveFile.h"
#include "core/curve/CurveSysEx.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/InstrumentFinder.h"
#include "core/midi/MidiParts.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/sim/SimulatorBackend.h"
#include "core/transfer/DumpReceiver.h"
#include "core/transfer/SendPreparation.h"
#include "core/transfer/TransferDriver.h"
#include "devices/midi/RtMidiBackend.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace {

const QString programName = QStringLiteral("zorvikctl");

// The longest wait a timer can hold, in whole seconds.
constexpr int maxTimeoutSeconds = std::numeric_limits<int>::max() / 1000;
constexpr int defaultTimeoutSeconds = 60;

// Every option, declared once: the parser and the usage text both read this list.
const QList<QCommandLineOption> &optionList()
{
    static const QList<QCommandLineOption> list{
        {{QStringLiteral("out")}, QStringLiteral("the MIDI output device"), QStringLiteral("PORT")},
        {{QStringLiteral("in")}, QStringLiteral("the MIDI input device"), QStringLiteral("PORT")},
        {{QStringLiteral("jack")}, QStringLiteral("use JACK's ports instead of the ALSA sequencer's")},
        {{QStringLiteral("number")},
         QStringLiteral("where the instrument keeps a song (1-16) or a template (1-8); 1 by default"),
         QStringLiteral("N")},
        {{QStringLiteral("timeout")},
         QStringLiteral("how long to wait for the instrument, 1 to %1; %2 by default")
             .arg(maxTimeoutSeconds)
             .arg(defaultTimeoutSeconds),
         QStringLiteral("SECONDS")},
        {{QStringLiteral("quiet")}, QStringLiteral("no summary line and no progress bar")},
        {{QStringLiteral("merge")},
         QStringLiteral("send: a song of several tracks (format 1) is merged into one first; the file is not changed")},
        {{QStringLiteral("audio-driver")},
         QStringLiteral("play: one of FluidSynth's audio drivers (pipewire, pulseaudio, jack, alsa); "
                        "ZORVIK_AUDIO_DRIVER too; else the first that starts"),
         QStringLiteral("NAME")},
        {{QStringLiteral("library")},
         QStringLiteral("the library folder; a plain FILE name not in the current directory is looked for there"),
         QStringLiteral("DIR")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("print this usage and exit")},
    };
    return list;
}

const QCommandLineOption &option(const char *name)
{
    for (const QCommandLineOption &candidate : optionList()) {
        if (candidate.names().contains(QLatin1String(name)))
            return candidate;
    }
    qFatal("zorvikctl: option %s is not declared", name);
}

struct Options
{
    QString command;
    QString file;
    std::optional<QString> out;
    std::optional<QString> in;
    std::optional<int> number;
    int timeoutSeconds = defaultTimeoutSeconds;
    bool jack = false;
    bool quiet = false;
    bool merge = false;
    bool help = false;
    QString library;
    QString audioDriver;
    QString error;
};

Options parse(const QStringList &arguments)
{
    Options options;
    // An argument that starts with a dash and is no option is most likely a file's name: the
    // parser would take it for a row of one-letter options ("Unknown options: x, ., s, y, x.").
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2)
            continue;
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        const auto declared = std::find_if(optionList().begin(), optionList().end(),
                                           [&name](const QCommandLineOption &o) { return o.names().contains(name); });
        if (declared == optionList().end()) {
            const auto command = std::find_if(arguments.begin(), arguments.begin() + i,
                                              [](const QString &a) { return !a.startsWith(QLatin1Char('-')); });
            options.error = argument.startsWith(QLatin1String("--"))
                                ? QStringLiteral("unknown option %1; zorvikctl --help lists the options").arg(argument)
                                : QStringLiteral("unknown option %1; a file name that starts with a dash goes after --, "
                                                 "as in: zorvikctl %2 -- %1")
                                      .arg(argument, command != arguments.begin() + i ? *command : QStringLiteral("send"));
            return options;
        }
        if (!declared->valueName().isEmpty() && !argument.contains(QLatin1Char('=')))
            ++i;   // its value, which may start with a dash (--out -1)
    }
    QCommandLineParser parser;
    parser.addOptions(optionList());
    if (!parser.parse(QStringList{programName} + arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = parser.isSet(option("help"));
    options.jack = parser.isSet(option("jack"));
    options.quiet = parser.isSet(option("quiet"));
    options.merge = parser.isSet(option("merge"));
    // An empty name is what an unset shell variable gives: never taken for the default device.
    for (const char *name : {"out", "in"}) {
        if (!parser.isSet(option(name)))
            continue;
        const QString value = parser.value(option(name));
        if (value.isEmpty()) {
            options.error = QStringLiteral("--%1 needs a device number or name, not an empty one").arg(QLatin1String(name));
            return options;
        }
        (QLatin1String(name) == QLatin1String("out") ? options.out : options.in) = value;
    }
    options.audioDriver = parser.value(option("audio-driver"));
    if (parser.isSet(option("library"))) {
        options.library = parser.value(option("library"));
        if (options.library.isEmpty()) {
            options.error = QStringLiteral("--library needs a folder");
            return options;
        }
    }
    if (parser.isSet(option("number"))) {
        options.number = wholeNumber(parser.value(option("number")), 1, std::numeric_limits<int>::max());
        if (!options.number) {
            options.error = QStringLiteral("--number takes a whole number from 1");
            return options;
        }
    }
    if (parser.isSet(option("timeout"))) {
        const auto seconds = wholeNumber(parser.value(option("timeout")), 1, maxTimeoutSeconds);
        if (!seconds) {
            options.error = QStringLiteral("--timeout takes a whole number of seconds from 1 to %1").arg(maxTimeoutSeconds);
            return options;
        }
        options.timeoutSeconds = *seconds;
    }
    QStringList positional = parser.positionalArguments();
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

// Ends what went to standard output; a full disk or device there is a failed write, not success.
int finishOutput()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return ControlCommands::Done;
    const int error = errno;
    std::clearerr(stdout);
    fail(QStringLiteral("cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
    return ControlCommands::SaveFailed;
}

// The one line a successful command prints, unless it was asked to be quiet.
int summarize(const Options &options, const QString &line)
{
    if (options.quiet)
        return ControlCommands::Done;
    std::printf("%s\n", qPrintable(line));
    return finishOutput();
}

QString seconds(const QElapsedTimer &clock)
{
    return QStringLiteral("%1 s").arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1);
}

// A file name as one line shows it: a name with a control character in it (a newline would
// split the summary line a script reads) is quoted, the character escaped.
QString shown(const QString &name)
{
    const bool plain = std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (plain)
        return name;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : name) {
        if (c == QLatin1Char('\n'))
            quoted += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            quoted += QStringLiteral("\\t");
        else if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// A device failure that a stalled MIDI server explains says so.
int deviceError(MidiSystem &midi)
{
    const QString why = midi.systemPorts().problem();
    if (!why.isEmpty())
        fail(why);
    return ControlCommands::DeviceError;
}

// Which way a device list goes: zorvikctl numbers the two ways differently.
enum class Way { Out, In };

// The number zorvikctl shows and takes for a device: -1 the built-in output, 0 the built-in
// input, the system's outputs from 0 and its inputs from 1.
int numberOf(MidiDevice device, Way way)
{
    return way == Way::Out ? device.outputNumber() : device.inputNumber();
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
            if (numberOf(device.id, way) == number)
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

QString nameOf(const QList<MidiSystem::Device> &devices, MidiDevice wanted, Way way)
{
    for (const auto &device : devices)
        if (device.id == wanted)
            return device.name;
    return QString::number(numberOf(wanted, way));
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

QString kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Song: return QStringLiteral("song");
    case FileKind::Template: return QStringLiteral("template");
    case FileKind::Csf: return QStringLiteral("song file");
    case FileKind::Firmware: return QStringLiteral("firmware");
    case FileKind::None: break;
    }
    return {};
}

// A progress bar on a terminal; nothing on a pipe, where scripts read only the last line.
void showProgress(const Options &options, int value, int maximum)
{
    if (options.quiet || !isatty(fileno(stderr)) || maximum <= 0)
        return;
    constexpr int width = 30;
    const int filled = width * value / maximum;
    std::fprintf(stderr, "\r[%s%s] %3d%% %d/%d blocks", QByteArray(filled, '#').constData(),
                 QByteArray(width - filled, ' ').constData(), 100 * value / maximum, value, maximum);
    if (value == maximum)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

QString deviceList(const QList<MidiSystem::Device> &devices, Way way)
{
    QStringList entries;
    for (const auto &device : devices)
        entries.append(QStringLiteral("%1 %2%3").arg(numberOf(device.id, way)).arg(device.name,
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

// Which devices a command uses: a template or a curve only goes out, a dump only comes in.
struct Uses
{
    bool out = false;
    bool in = false;
};

Uses usesOf(const Options &options)
{
    if (options.command == QLatin1String("send"))
        return {true, FileKinds::isBlockTransfer(kindOf(options.file))};
    if (options.command == QLatin1String("receive"))
        return {false, true};
    if (options.command == QLatin1String("curve"))
        return {true, false};
    return {};
}

// Chooses the devices in use from --out and --in. Given only one of them, a command that needs
// both directions (or only the other one) takes the device of the same name the other way: an
// instrument's output and input go together, and listening to the simulator while sending to
// the instrument would only wait in vain.
int chooseDevices(MidiSystem &midi, DeviceSelection &devices, const Options &options)
{
    const QList<MidiSystem::Device> outputs = midi.outputs();
    const QList<MidiSystem::Device> inputs = midi.inputs();
    // Neither named: the instrument, found by name; the built-in simulator only when named.
    const InstrumentFinder::Choice instrument = InstrumentFinder::find(outputs, inputs);
    std::optional<MidiDevice> out = instrument.output;
    std::optional<MidiDevice> in = instrument.input;
    const Uses uses = usesOf(options);
    // A server that does not answer lists no devices: neither a name nor the instrument may fall
    // to the built-in simulator then; only its own numbers still reach it.
    if (!midi.systemPorts().problem().isEmpty()) {
        const bool builtInNumbers = (options.out || options.in) && (!options.out || *options.out == QLatin1String("-1"))
                                    && (!options.in || *options.in == QLatin1String("0"));
        if (!builtInNumbers)
            return deviceError(midi);
    }
    if (options.out && !(out = findDevice(outputs, *options.out, Way::Out))) {
        fail(QStringLiteral("no single device matches %1").arg(*options.out));
        return deviceError(midi);
    }
    if (options.in && !(in = findDevice(inputs, *options.in, Way::In))) {
        fail(QStringLiteral("no single device matches %1").arg(*options.in));
        return deviceError(midi);
    }
    const auto sameName = [](const QString &given, const QList<MidiSystem::Device> &listed, MidiDevice device, Way way) {
        bool isNumber = false;
        given.toInt(&isNumber);
        return isNumber ? nameOf(listed, device, way) : given;
    };
    if (uses.in && !options.in && options.out) {
        in = findDevice(inputs, sameName(*options.out, outputs, *out, Way::Out), Way::In);
        if (!in) {
            fail(QStringLiteral("no input device goes with --out %1: name one with --in").arg(*options.out));
            return ControlCommands::UsageError;
        }
    }
    if (uses.out && !options.out && options.in) {
        out = findDevice(outputs, sameName(*options.in, inputs, *in, Way::In), Way::Out);
        if (!out) {
            fail(QStringLiteral("no output device goes with --in %1: name one with --out").arg(*options.in));
            return ControlCommands::UsageError;
        }
    }
    const bool outMissing = uses.out && !options.out && !options.in && !instrument.outputFound();
    const bool inMissing = uses.in && !options.out && !options.in && !instrument.inputFound();
    if (outMissing || inMissing) {
        fail(noInstrument(outputs, inputs, outMissing));
        return ControlCommands::DeviceError;
    }
    // More than one instrument: say which one is used, and how to take another.
    if (!options.out && !options.in && (uses.out || uses.in)) {
        const QString note = InstrumentFinder::choiceNote(
            instrument, QStringLiteral("choose another with --out PORT and --in PORT, as 'zorvikctl ports' lists them"));
        if (!note.isEmpty())
            fail(note);
    }
    devices.choose(*out, *in);
    return ControlCommands::Done;
}

int sendFile(MidiSystem &midi, DeviceSelection &devices, MidiInCapture &capture, ConsolePrompts &prompts,
             const Options &options, CommandWatchdog &watchdog, StopSignals &interrupts)
{
    const FileKind kind = kindOf(options.file);
    const auto prepared = SendPreparation::prepareFile(kind, options.file, QFileInfo(options.file).fileName());
    QByteArray image = prepared.image;
    if (prepared.otherFormat && options.merge && !prepared.formatZero.isEmpty()) {
        image = prepared.formatZero;
    } else if (!prepared.ok) {
        PromptService::Prompt problem = prepared.problem;
        if (prepared.otherFormat) {
            problem.text += prepared.formatZero.isEmpty()
                                ? QStringLiteral(" It cannot be converted to format 0: %1.").arg(prepared.whyNotMerged)
                                : QStringLiteral(" Use --merge to convert it to format 0 and send it.");
        }
        prompts.ask(problem);
        return ControlCommands::FileRefused;
    }

    TransferDriver driver(midi, devices, capture, prompts);
    // --timeout is the whole of how long the instrument may take, also to get ready.
    driver.session().setReplyTimeout(qint64(options.timeoutSeconds) * 1000);
    driver.session().setReadyTimeout(qint64(options.timeoutSeconds) * 1000);
    driver.open(kind, image);
    const int number = options.number.value_or(1);
    driver.session().setNumber(number);
    if (driver.session().number() != number) {
        fail(QStringLiteral("--number must be from 1 to %1 for this kind of file").arg(driver.session().numberMaximum()));
        return ControlCommands::UsageError;
    }

    QEventLoop loop;
    int code = ControlCommands::Done;
    QObject::connect(&driver, &TransferDriver::changed, &loop, [&] {
        watchdog.feed();
        if (driver.session().state() == TransferSession::State::Sending)
            showProgress(options, driver.session().progressValue(), driver.session().progressMaximum());
    });
    QObject::connect(&driver, &TransferDriver::finished, &loop, [&] {
        showProgress(options, driver.session().blockCount(), driver.session().blockCount());
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::closeRequested, &loop, [&] {
        code = deviceError(midi);
        loop.quit();
    });
    QObject::connect(&driver, &TransferDriver::failed, &loop, [&] {
        // A template the device refused was told as it happened; a block that did not go, or a
        // device that cannot be taken, is said here.
        if (const QString why = driver.session().outcome().failureText(); !why.isEmpty())
            fail(why);
        code = deviceError(midi);
        loop.quit();
    });
    // Ctrl+C or SIGTERM: stop between two messages, say what the instrument holds now, and give
    // the device back.
    QObject::connect(&interrupts, &StopSignals::interrupted, &loop, [&](int signal) {
        const TransferSession &session = driver.session();
        const bool started = session.state() == TransferSession::State::Sending
                             || session.state() == TransferSession::State::AwaitingReady;
        driver.abort();
        if (kind == FileKind::Template || !started)
            fail(QStringLiteral("stopped before anything was sent"));
        else
            fail(QStringLiteral("stopped after %1 of %2 blocks: the instrument keeps only part of the file; %3")
                     .arg(session.blocksSent())
                     .arg(session.blockCount())
                     .arg(kind == FileKind::Firmware ? QStringLiteral("a firmware update must be sent again")
                                                     : QStringLiteral("send it again")));
        code = StopSignals::exitCode(signal);
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

    QElapsedTimer clock;
    clock.start();
    driver.send();
    if (driver.busy())   // waiting for the device, or a block transfer under way
        loop.exec();
    if (code != ControlCommands::Done)
        return code;
    if (!driver.session().delivered())
        return ControlCommands::DeviceError;
    const int blocks = driver.session().blockCount();
    const QString how = kind == FileKind::Template ? QStringLiteral("one message")
                        : blocks == 1              ? QStringLiteral("1 block")
                                                   : QStringLiteral("%1 blocks").arg(blocks);
    const QString where = kind == FileKind::Firmware ? QString() : QStringLiteral(" as number %1").arg(number);
    return summarize(options, QStringLiteral("sent %1 %2%3: %4 bytes in %5 to %6 in %7")
                                  .arg(kindName(kind), shown(options.file), where)
                                  .arg(prepared.image.size())
                                  .arg(how, nameOf(midi.outputs(), devices.output(), Way::Out), seconds(clock)));
}

int receiveDump(MidiSystem &midi, DeviceSelection &devices, MidiInCapture &capture, InstrumentSimulator &simulator,
                ConsolePrompts &prompts, const Options &options, StopSignals &interrupts)
{
    if (QFileInfo(options.file).suffix() != QLatin1String("syx")) {
        fail(QStringLiteral("the dump is saved as a .syx file"));
        return ControlCommands::UsageError;
    }
    // Before listening: a dump that arrives must have somewhere to go. The save's own file is
    // made now, which proves what no look at the folder can (a name too long, a full table).
    PendingSave save(options.file);
    if (const QString problem = save.prepare(); !problem.isEmpty()) {
        fail(problem);
        return ControlCommands::SaveFailed;
    }
    // The name the input is followed by, as listed now (empty for the built-in simulator).
    QString inputName;
    for (const auto &device : midi.inputs())
        if (device.id == devices.input() && !device.id.isBuiltIn())
            inputName = device.name;
    DumpReceiver receiver(midi, devices, capture, prompts);
    QEventLoop loop;
    bool got = false;
    QObject::connect(&receiver, &DumpReceiver::received, &loop, [&] {
        got = true;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    if (!receiver.listen()) {
        if (!receiver.lastProblem().isEmpty() && !midi.systemPorts().problem().contains(receiver.lastProblem()))
            fail(receiver.lastProblem());
        return deviceError(midi);
    }
    QTimer::singleShot(options.timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    int stoppedBy = 0;
    QObject::connect(&interrupts, &StopSignals::interrupted, &loop, [&](int signal) {
        stoppedBy = signal;
        receiver.stop();
        loop.quit();
    });
    // The instrument is followed by its name, as the editor follows it: one that goes away
    // (unplugged, its program restarted) is listened to again when it is back, under whatever
    // number it then has.
    QTimer follow;
    follow.setInterval(200);
    bool gone = false;
    int missed = 0;                // looks in a row that did not find it
    std::optional<MidiDevice> failedAt;   // where it was listed when it could not be opened
    QObject::connect(&follow, &QTimer::timeout, &loop, [&] {
        if (!midi.systemPorts().problem().isEmpty())
            return;   // a stalled server lists nothing; the timeout tells
        const QList<MidiSystem::Device> inputs = midi.inputs();
        std::optional<MidiDevice> now;
        for (const auto &device : inputs)
            if (!device.id.isBuiltIn() && device.name == inputName)
                now = device.id;
        if (now && *now == devices.input() && (!gone || failedAt == *now)) {
            missed = 0;
            return;   // still there; or back where it could not be opened, until it moves again
        }
        // A listing taken while another program registers its ports may miss one: a port is
        // taken for gone only when two looks in a row do not find it.
        if (!now && !gone && ++missed < 2)
            return;
        missed = 0;
        receiver.stop();
        if (now) {
            devices.choose(devices.output(), *now);
            if (receiver.listen()) {
                if (gone)
                    fail(QStringLiteral("%1 is back; listening again").arg(inputName));
                gone = false;
                failedAt.reset();
                return;
            }
            failedAt = *now;
        }
        if (!gone)
            fail(QStringLiteral("%1 has gone; listening for it to come back").arg(inputName));
        gone = true;
    });
    if (!inputName.isEmpty())
        follow.start();
    // The built-in simulator has no button to press: it sends its dump by itself.
    if (devices.input().isBuiltIn())
        QTimer::singleShot(0, &simulator, [&simulator] { simulator.sendDump(); });
    loop.exec();
    follow.stop();
    if (stoppedBy == 0 && interrupts.received() != 0)
        stoppedBy = interrupts.received();
    if (stoppedBy != 0) {
        fail(QStringLiteral("stopped while listening; nothing was saved"));
        return StopSignals::exitCode(stoppedBy);
    }
    if (!got) {
        fail(QStringLiteral("no template dump arrived within %1 seconds").arg(options.timeoutSeconds));
        const QString why = midi.systemPorts().problem();
        if (!why.isEmpty())
            fail(why);
        return why.isEmpty() ? ControlCommands::InstrumentSilent : ControlCommands::DeviceError;
    }
    const QString notWhole = DumpReceiver::notWholeReason(receiver.dump());
    if (!notWhole.isEmpty()) {
        fail(notWhole + QStringLiteral(" Nothing was saved."));
        return ControlCommands::FileRefused;
    }
    const QString error = save.commit(receiver.dump());
    if (!error.isEmpty()) {
        fail(error);
        return ControlCommands::SaveFailed;
    }
    return summarize(options, QStringLiteral("saved the dump in %1: %2 bytes from %3 in %4")
                                  .arg(shown(options.file))
                                  .arg(receiver.dump().size())
                                  .arg(nameOf(midi.inputs(), devices.input(), Way::In), seconds(clock)));
}

int sendCurve(MidiSystem &midi, DeviceSelection &devices, SysExSender &sender, ConsolePrompts &prompts,
              const Options &options, StopSignals &interrupts)
{
    const CurveFile::Result curve = CurveFile::load(options.file);
    if (!curve.ok) {
        fail(curve.message);
        return ControlCommands::FileRefused;
    }
    QElapsedTimer clock;
    clock.start();
    // A stop asked for before the one message goes out keeps it from going; once under way,
    // it goes whole.
    QCoreApplication::processEvents();
    if (const int signal = interrupts.received(); signal != 0) {
        fail(QStringLiteral("stopped before anything was sent"));
        return StopSignals::exitCode(signal);
    }
    // The file's stored map is what the instrument gets, as with Send from the curve editor.
    if (!CurveSysEx::send(sender, prompts, curve.contents.map))
        return deviceError(midi);
    return summarize(options, QStringLiteral("sent curve %1: %2 bytes in one message to %3 in %4")
                                  .arg(shown(options.file))
                                  .arg(CurveSysEx::size)
                                  .arg(nameOf(midi.outputs(), devices.output(), Way::Out), seconds(clock)));
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
    // A device whose SysEx goes around its port (a USB instrument) says so.
    const auto print = [&midi](const MidiSystem::Device &device, Way way) {
        const QString route = device.id.isBuiltIn() ? QString() : midi.directRoute(device.name);
        std::printf("%4d  %s%s\n", numberOf(device.id, way), qPrintable(device.name),
                    route.isEmpty() ? "" : qPrintable(QStringLiteral("  (SysEx through the %1)").arg(route)));
    };
    std::printf("Out:\n");
    for (const auto &device : outputs)
        print(device, Way::Out);
    std::printf("In:\n");
    for (const auto &device : inputs)
        print(device, Way::In);
    return finishOutput();
}

} // namespace

ControlCommands::ControlCommands(BackendFactory backendFactory)
    : factory(std::move(backendFactory))
{
}

QString ControlCommands::usage()
{
    QString text = QStringLiteral(
        "usage: zorvikctl ports [--jack]\n"
        "       zorvikctl send FILE [--number N] [--merge] [--out PORT] [--in PORT] [--jack] [--timeout SECONDS] [--quiet]\n"
        "       zorvikctl receive FILE.syx [--in PORT] [--jack] [--timeout SECONDS] [--quiet]\n"
        "       zorvikctl curve FILE.crv [--out PORT] [--jack] [--quiet]\n"
        "       zorvikctl play FILE [--audio-driver NAME]\n"
        "The kind of FILE comes from its extension: .mid song, .syx template, .csf song file, .bin firmware.\n"
        "PORT is a device number, a name as 'zorvikctl ports' lists them, or a part of a name that only one\n"
        "device has (an exact name wins); by default the instrument, an output and an input of one device\n"
        "with \"Zorvik\" in their names. The built-in simulator is used only when named (--out -1 --in 0).\n"
        "Ctrl+C, SIGTERM or SIGHUP stop between two messages (exit 130, 143, 129); a second one at once.\n"
        "play plays a .mid or .csf song on the computer until its end or Ctrl+C.\n"
        "Given only --out or only --in, the device of the same name serves the other direction.\n"
        "On success one summary line goes to standard output; errors are one line on standard error.\n"
        "Options:\n");
    QStringList left;
    int width = 0;
    for (const QCommandLineOption &candidate : optionList()) {
        QStringList names;
        for (const QString &name : candidate.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString entry = names.join(QStringLiteral(", "));
        if (!candidate.valueName().isEmpty())
            entry += QLatin1Char(' ') + candidate.valueName();
        left << entry;
        width = std::max(width, int(entry.size()));
    }
    for (int i = 0; i < left.size(); ++i)
        text += QStringLiteral("  %1  %2\n").arg(left.at(i), -width).arg(optionList().at(i).description());
    text += QStringLiteral("  %1  %2\n").arg(QStringLiteral("--"), -width).arg(QStringLiteral("what follows is not an option"));
    text += QStringLiteral("Exit codes: 0 done, 1 usage, 2 file or dump refused, 3 device error, 4 instrument silent, "
                           "5 save or write failed.\n");
    return text;
}

int ControlCommands::run(const QStringList &arguments)
{
    // Output past the file size limit fails with a message and exit code 5, not a signal.
    SafeFile::ignoreFileSizeSignal();
    Options options = parse(arguments);
    if (!options.error.isEmpty()) {
        fail(options.error);
        return UsageError;
    }
    if (options.help) {
        std::printf("%s", qPrintable(usage()));
        return finishOutput();
    }
    // A plain file name that is not in the current directory is looked for in the library.
    const LibraryLocation library = LibraryLocation::decide(options.library, LibraryLocation::userLibraryFolder());
    if (library.source() == LibraryLocation::Source::CommandLine && !library.exists()) {
        fail(QStringLiteral("the library folder %1 does not exist").arg(library.displayPath()));
        return UsageError;
    }
    if (options.command != QLatin1String("receive"))
        options.file = library.lookUp(options.file);
    const bool needsFile = options.command == QLatin1String("send") || options.command == QLatin1String("receive")
                           || options.command == QLatin1String("curve") || options.command == QLatin1String("play");
    if (options.command.isEmpty() || (needsFile && options.file.isEmpty())
        || (!needsFile && options.command != QLatin1String("ports"))) {
        std::fprintf(stderr, "%s", qPrintable(usage()));
        return UsageError;
    }
    const FileKind kind = kindOf(options.file);
    if (options.command == QLatin1String("send") && kind == FileKind::None) {
        fail(QStringLiteral("cannot tell the kind of %1: use .mid, .syx, .csf or .bin").arg(shown(options.file)));
        return UsageError;
    }
    if (options.merge && (options.command != QLatin1String("send") || kind != FileKind::Song)) {
        fail(QStringLiteral("--merge applies only to sending a .mid song"));
        return UsageError;
    }
    if (options.number && (options.command != QLatin1String("send") || kind == FileKind::Firmware)) {
        fail(QStringLiteral("--number applies only to sending a song, a song file or a template"));
        return UsageError;
    }
    if (options.command == QLatin1String("play")) {
        SongEngine::Options engine;
        engine.audioDriver = options.audioDriver;
        return SongPlayCommand(programName, engine).run(options.file);
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
    else
        backend = std::make_unique<RtMidiBackend>();
    auto builtIn = std::make_unique<SimulatorBackend>();
    InstrumentSimulator &simulator = builtIn->simulator();
    MidiParts parts(std::move(builtIn), std::move(backend));
    MidiSystem &midi = parts.ports();
    ConsolePrompts prompts(programName);
    StopSignals interrupts;
    // A USB instrument that a program left without its driver (it ended while it held the
    // instrument's link) is given back first, so it is found.
    for (const QString &line : midi.systemPorts().recoverDevices())
        fail(line);
    if (onStarted)
        onStarted(midi, simulator);

    if (options.command == QLatin1String("ports"))
        return decided(listPorts(midi));

    if (const int code = chooseDevices(midi, parts.devices(), options); code != Done)
        return decided(code);
    if (options.command == QLatin1String("send"))
        return decided(sendFile(midi, parts.devices(), parts.capture(), prompts, options, watchdog, interrupts));
    if (options.command == QLatin1String("receive"))
        return decided(receiveDump(midi, parts.devices(), parts.capture(), simulator, prompts, options, interrupts));
    return decided(sendCurve(midi, parts.devices(), parts.sender(), prompts, options, interrupts));
}
