#include "cli/CommandWatchdog.h"
#include "cli/ControlCommands.h"
#include "cli/SongPlayCommand.h"
#include "core/curve/CurveFile.h"
#include "core/midi/MidiSystem.h"
#include "core/song/SmfMerge.h"
#include "core/sim/InstrumentSimulator.h"
#include "devices/audio/SongRenderer.h"
#include "support/FakePorts.h"
#include "support/InstrumentMessage.h"
#include "support/TestFiles.h"
#include "support/TestSongs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <unistd.h>

#include <cstdlib>

using TestFiles::writeFile;
using TestFiles::readFile;
using TestFiles::goldenTemplate;

namespace {

struct Run
{
    int code = -1;
    InstrumentSimulator::Transfer transfer;
    QByteArray lastMessage;
    std::array<std::uint8_t, 128> map{};
};

// The built-in simulator is used only when named: these runs name it unless they name a port.
Run run(QStringList arguments, std::function<void(InstrumentSimulator &)> setUp = {},
        const QStringList &outputs = {}, const QStringList &inputs = {})
{
    const bool namesADevice = std::any_of(arguments.cbegin(), arguments.cend(), [](const QString &argument) {
        return argument.startsWith(QLatin1String("--out")) || argument.startsWith(QLatin1String("--in"));
    });
    if (!namesADevice)
        arguments = QStringList{QStringLiteral("--out"), QStringLiteral("-1"), QStringLiteral("--in"), QStringLiteral("0")}
                    + arguments;
    Run result;
    // The system's ports stay out of these tests: only the built-in simulator is there, and ports
    // that are listed but never open when a test names some.
    ControlCommands commands([&](bool) { return std::make_unique<FakePorts>(outputs, inputs); });
    InstrumentSimulator *simulator = nullptr;
    commands.onStarted = [&](MidiSystem &, InstrumentSimulator &builtIn) {
        simulator = &builtIn;
        if (setUp)
            setUp(*simulator);
        // Keep what the simulator saw after the command's MIDI system is gone.
        QObject::connect(simulator, &InstrumentSimulator::happened, simulator, [&result, simulator] {
            result.transfer = simulator->lastTransfer();
            result.map = simulator->velocityMap();
            if (!simulator->received().isEmpty())
                result.lastMessage = simulator->received().last();
        });
    };
    result.code = commands.run(arguments);
    return result;
}

// The program itself, for what a script sees: its exit code and its standard output.
struct Program
{
    int code = -1;
    QByteArray out;
};

Program runProgram(const QStringList &arguments, const QString &outputFile = {},
                   std::function<void()> inChild = {})
{
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(ZORVIK_CTL_PATH), arguments);
    Program result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -process.exitCode() - 1000;
    result.out = process.readAllStandardOutput();
    return result;
}

bool isPipe(const QString &path)
{
    struct stat status{};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}
// What a piece of code writes on one of the standard streams.
QString writtenOn(FILE *stream, int descriptor, const std::function<void()> &code)
{
    std::fflush(stream);
    QTemporaryFile capture;
    if (!capture.open())
        return {};
    const int saved = ::dup(descriptor);
    ::dup2(capture.handle(), descriptor);
    code();
    std::fflush(stream);
    ::dup2(saved, descriptor);
    ::close(saved);
    capture.seek(0);
    return QString::fromUtf8(capture.readAll());
}

QString stderrOf(const std::function<void()> &code)
{
    return writtenOn(stderr, STDERR_FILENO, code);
}

QString stdoutOf(const std::function<void()> &code)
{
    return writtenOn(stdout, STDOUT_FILENO, code);
}

// Pulls the song's audio on a thread of its own, as a sound card would: in real time, or as
// fast as it can. With interruptAt it presses Ctrl+C once the song has played that far.
class ThreadOutput : public AudioOutput
{
public:
    explicit ThreadOutput(bool inRealTime, qint64 interruptAtMs = -1) : realTime(inRealTime), interruptAt(interruptAtMs) {}
    ~ThreadOutput() override { stop(); }
    bool start(SongRenderer &renderer) override
    {
        running = true;
        worker = std::thread([this, &renderer] {
            std::vector<float> left(512), right(512);
            while (running) {
                renderer.render(left.data(), right.data(), 512);
                if (interruptAt >= 0 && renderer.positionMs() >= interruptAt) {
                    std::raise(SIGINT);
                    interruptAt = -1;
                }
                if (realTime)
                    std::this_thread::sleep_for(std::chrono::microseconds(512 * 1000000LL / renderer.sampleRate()));
            }
        });
        return true;
    }
    void stop() override
    {
        running = false;
        if (worker.joinable())
            worker.join();
    }

private:
    bool realTime;
    qint64 interruptAt;
    std::atomic<bool> running{false};
    std::thread worker;
};

class FailingOutput : public AudioOutput
{
public:
    bool start(SongRenderer &) override { return false; }
    void stop() override {}
    QString errorText() const override { return QStringLiteral("No sound output could be started.\nTried: none"); }
};

} // namespace

class TestControlCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const char *name) { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void firmwareAndTemplates()
    {
        QByteArray firmware(300 * 1024, Qt::Uninitialized);
        for (int i = 0; i < firmware.size(); ++i)
            firmware[i] = char(i * 7 + i / 251);
        writeFile(path("fw.bin"), firmware);
        Run sent = run({"send", path("fw.bin")});
        QCOMPARE(sent.code, int(ControlCommands::Done));
        QVERIFY(sent.transfer.complete);
        QCOMPARE(sent.transfer.image, firmware);

        const QByteArray image = goldenTemplate();
        writeFile(path("t.syx"), image);
        sent = run({"send", path("t.syx"), "--number", "4"});
        QCOMPARE(sent.code, int(ControlCommands::Done));
        QCOMPARE(sent.lastMessage, QByteArray(image).replace(9, 1, "\x04"));
        QCOMPARE(run({"send", path("t.syx"), "--number", "9"}).code, int(ControlCommands::UsageError));
    }

    void refusalsAndUsage()
    {
        writeFile(path("empty.bin"), {});
        writeFile(path("SONG.SYX"), QByteArray(162, '\0'));
        writeFile(path("notes.txt"), "x");
        writeFile(path("one.mid"), QByteArray("MThd\0\0\0\6\0\1\0\1\0\x60", 14));
        QCOMPARE(run({"send", path("empty.bin")}).code, int(ControlCommands::FileRefused));
        QCOMPARE(run({"send", path("SONG.SYX")}).code, int(ControlCommands::FileRefused));
        QCOMPARE(run({"send", path("one.mid")}).code, int(ControlCommands::FileRefused));
        QCOMPARE(run({"send", path("absent.bin")}).code, int(ControlCommands::FileRefused));
        QCOMPARE(run({"send", path("notes.txt")}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"send"}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"ports", "--bogus"}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"ports"}).code, int(ControlCommands::Done));
        QCOMPARE(run({"send", path("empty.bin"), "--out", "no such port"}).code, int(ControlCommands::DeviceError));
    }

    void silentInstrument()
    {
        writeFile(path("big.bin"), QByteArray(20000, '\x11'));
        const Run result = run({"send", path("big.bin"), "--timeout", "1"},
                               [](InstrumentSimulator &simulator) { simulator.faults.stopAfterBlock = 3; });
        QCOMPARE(result.code, int(ControlCommands::InstrumentSilent));
        QVERIFY(!result.transfer.complete);
    }

    void receiveSavesTheDump()
    {
        QCOMPARE(run({"receive", path("dump.syx"), "--timeout", "5"}).code, int(ControlCommands::Done));
        QFile file(path("dump.syx"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), 162);
        QCOMPARE(run({"receive", path("dump.txt")}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"receive", dir.filePath("missing/dump.syx"), "--timeout", "5"}).code,
                 int(ControlCommands::SaveFailed));
    }

    // Only one whole template message is saved: a dump cut by the input buffer or shorter than
    // the frame is refused, and the good template already there stays.
    void receiveSavesOnlyWholeTemplates_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("10 bytes") << 10;
        QTest::newRow("13 bytes") << 13;
        QTest::newRow("20 bytes, framed and ended") << 20;
        QTest::newRow("161 bytes") << 161;
        QTest::newRow("163 bytes") << 163;
        QTest::newRow("300 bytes, cut") << 300;
        QTest::newRow("100 KB, cut") << 100 * 1024;
    }
    void receiveSavesOnlyWholeTemplates()
    {
        QFETCH(int, size);
        writeFile(path("good.syx"), goldenTemplate());
        const QByteArray dump = startsLikeADump(size);
        const Run result = run({"receive", path("good.syx"), "--timeout", "5"}, [dump](InstrumentSimulator &simulator) {
            // Ahead of the simulator's own dump, which comes once the command listens.
            QTimer::singleShot(0, &simulator, [&simulator, dump] { emit simulator.reply(dump); });
        });
        QCOMPARE(result.code, int(ControlCommands::FileRefused));
        QCOMPARE(readFile(path("good.syx")), goldenTemplate());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("good.syx.*")}), QStringList());
    }

    // The target is checked before listening: a dump never arrives only to be lost. Nothing that
    // is not a regular file is replaced.
    void receiveChecksTheTargetFirst()
    {
        bool dumpSent = false;
        const auto watch = [&dumpSent](InstrumentSimulator &simulator) {
            QObject::connect(&simulator, &InstrumentSimulator::reply, &simulator, [&dumpSent] { dumpSent = true; });
        };
        writeFile(path("blocked"), "a file, not a folder");
        QCOMPARE(run({"receive", path("blocked/dump.syx")}, watch).code, int(ControlCommands::SaveFailed));
        QCOMPARE(run({"receive", path("none/dump.syx")}, watch).code, int(ControlCommands::SaveFailed));
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.syx")).constData(), 0600), 0);
        QCOMPARE(run({"receive", path("pipe.syx")}, watch).code, int(ControlCommands::SaveFailed));
        QVERIFY(isPipe(path("pipe.syx")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path("device.syx")));
        QCOMPARE(run({"receive", path("device.syx")}, watch).code, int(ControlCommands::SaveFailed));
        QVERIFY(QFileInfo(path("device.syx")).isSymLink());
        QVERIFY(!dumpSent);
        QCOMPARE(readFile(path("blocked")), QByteArray("a file, not a folder"));
    }

    // An empty name (an unset variable) is no device; given one way only, the device of the same
    // name serves the other way, or the command says what is missing.
    void deviceNames()
    {
        writeFile(path("small.bin"), QByteArray(3000, '\x33'));
        writeFile(path("c.crv"), CurveFile::serialize(CurveFile::Contents{}));
        QCOMPARE(run({"send", path("small.bin"), "--out", ""}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"send", path("small.bin"), "--in", ""}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"receive", path("d.syx"), "--in="}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"ports", "--out", ""}).code, int(ControlCommands::UsageError));

        Run sent = run({"send", path("small.bin"), "--out", "Zorvik Simulator"});
        QCOMPARE(sent.code, int(ControlCommands::Done));
        QVERIFY(sent.transfer.complete);
        QCOMPARE(run({"send", path("small.bin"), "--in", "Zorvik Simulator"}).code, int(ControlCommands::Done));

        const QStringList outputs{"Synth Out"};
        const QStringList inputs{"Keyboard In"};
        QCOMPARE(run({"send", path("small.bin"), "--out", "Synth"}, {}, outputs, inputs).code,
                 int(ControlCommands::UsageError));
        QCOMPARE(run({"send", path("small.bin"), "--in", "Keyboard"}, {}, outputs, inputs).code,
                 int(ControlCommands::UsageError));
        QCOMPARE(run({"receive", path("d.syx"), "--out", "0"}, {}, outputs, inputs).code,
                 int(ControlCommands::UsageError));
        QCOMPARE(run({"curve", path("c.crv"), "--in", "Keyboard"}, {}, outputs, inputs).code,
                 int(ControlCommands::UsageError));
        QCOMPARE(run({"send", path("small.bin"), "--out", "Nothing"}, {}, outputs, inputs).code,
                 int(ControlCommands::DeviceError));
    }

    void optionValues()
    {
        writeFile(path("small.bin"), QByteArray(3000, '\x33'));
        writeFile(path("c.crv"), CurveFile::serialize(CurveFile::Contents{}));
        // The longest wait a timer can hold, and no more.
        QCOMPARE(run({"receive", path("d.syx"), "--timeout", "2147484"}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"receive", path("d.syx"), "--timeout", "4294968"}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"receive", path("d.syx"), "--timeout", "2147483"}).code, int(ControlCommands::Done));
        QVERIFY(ControlCommands::usage().contains(QStringLiteral("60 by default")));
        // --number where nothing takes it.
        QCOMPARE(run({"send", path("small.bin"), "--number", "2"}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"curve", path("c.crv"), "--number", "2"}).code, int(ControlCommands::UsageError));
        QCOMPARE(run({"--help"}).code, int(ControlCommands::Done));
        // "--" ends the options: a file whose name starts like one.
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        writeFile(QStringLiteral("--odd.bin"), QByteArray(3000, '\x33'));
        const int dashed = run({"send", "--", "--odd.bin"}).code;
        const int undashed = run({"send", "--odd.bin"}).code;
        QDir::setCurrent(previous);
        QCOMPARE(dashed, int(ControlCommands::Done));
        QCOMPARE(undashed, int(ControlCommands::UsageError));
    }

    // A name that starts with a dash is pointed to "--", not taken apart into letters; a name
    // with a newline does not split the summary line a script reads.
    void namesAsTheUserTypedThem()
    {
        QProcess control;
        control.start(QStringLiteral(ZORVIK_CTL_PATH), {QStringLiteral("send"), QStringLiteral("-x.syx")});
        QVERIFY(control.waitForFinished(20000));
        QCOMPARE(control.exitCode(), int(ControlCommands::UsageError));
        QCOMPARE(QString::fromUtf8(control.readAllStandardError()),
                 QStringLiteral("zorvikctl: unknown option -x.syx; a file name that starts with a dash goes after --, as "
                                "in: zorvikctl send -- -x.syx\n"));

        const QString odd = path("two\nlines.syx");
        writeFile(odd, goldenTemplate());
        const Program program = runProgram({"send", odd, "--out", "-1"});
        QCOMPARE(program.code, 0);
        QCOMPARE(program.out.count('\n'), 1);
        QVERIFY2(program.out.startsWith("sent template \"" + dir.path().toUtf8() + "/two\\nlines.syx\" as number 1: "),
                 program.out.constData());
    }

    // What a script sees: one summary line on standard output (none with --quiet), usage on
    // --help, and exit code 5 when the listing, the summary or a save cannot be written.
    void programOutput()
    {
        writeFile(path("t.syx"), goldenTemplate());
        Program program = runProgram({"send", path("t.syx"), "--number", "2", "--out", "-1"});
        QCOMPARE(program.code, 0);
        QVERIFY2(program.out.startsWith("sent template " + path("t.syx").toUtf8() + " as number 2: 162 bytes in one "
                                        "message to Zorvik Simulator in "),
                 program.out.constData());
        QCOMPARE(program.out.count('\n'), 1);
        program = runProgram({"send", path("t.syx"), "--quiet", "--out", "-1"});
        QCOMPARE(program.code, 0);
        QCOMPARE(program.out, QByteArray());
        program = runProgram({"--help"});
        QCOMPARE(program.code, 0);
        QVERIFY(program.out.startsWith("usage: zorvikctl"));

        QCOMPARE(runProgram({"ports"}, QStringLiteral("/dev/full")).code, int(ControlCommands::SaveFailed));
        QCOMPARE(runProgram({"send", path("t.syx"), "--out", "-1"}, QStringLiteral("/dev/full")).code, int(ControlCommands::SaveFailed));

        writeFile(path("kept.syx"), "old");
        program = runProgram({"receive", path("kept.syx"), "--in", "0"}, {}, [] {
            const rlimit tiny{100, 100};   // bytes: less than a dump
            setrlimit(RLIMIT_FSIZE, &tiny);
        });
        QCOMPARE(program.code, int(ControlCommands::SaveFailed));
        QCOMPARE(readFile(path("kept.syx")), QByteArray("old"));
    }

    // A song of several tracks is sent merged with --merge, the file left as it is; without it
    // the refusal says how; what cannot be merged says why.
    void formatOneSongsWithMerge()
    {
        const QString song = QStringLiteral(ZORVIK_TEST_DATA "/format1/tempo-in-a-later-track.mid");
        const QString apart = QStringLiteral(ZORVIK_TEST_DATA "/format1/format-2.mid");
        const QByteArray original = readFile(song);
        Run sent = run({"send", song, "--merge", "--number", "3"});
        QCOMPARE(sent.code, int(ControlCommands::Done));
        QVERIFY(sent.transfer.complete);
        QCOMPARE(sent.transfer.number, 3);
        QCOMPARE(sent.transfer.image, SmfMerge::toFormatZero(original).file);
        QCOMPARE(readFile(song), original);
        QCOMPARE(run({"send", song}).code, int(ControlCommands::FileRefused));
        QCOMPARE(run({"send", apart, "--merge"}).code, int(ControlCommands::FileRefused));
        writeFile(path("t.syx"), goldenTemplate());
        QCOMPARE(run({"send", path("t.syx"), "--merge"}).code, int(ControlCommands::UsageError));

        // What the user reads: one line each.
        const auto errorLine = [](const QStringList &arguments) {
            QProcess process;
            process.start(QStringLiteral(ZORVIK_CTL_PATH), QStringList{"--out", "-1", "--in", "0"} + arguments);
            process.waitForFinished(30000);
            return QString::fromUtf8(process.readAllStandardError());
        };
        QString said = errorLine({"send", song});
        QVERIFY2(said.endsWith(QStringLiteral("Use --merge to convert it to format 0 and send it.\n")), qPrintable(said));
        QCOMPARE(said.count(QLatin1Char('\n')), 1);
        said = errorLine({"send", apart, "--merge"});
        QVERIFY2(said.endsWith(QStringLiteral("It cannot be converted to format 0: it is of format 2: its tracks are "
                                              "separate songs, which cannot be played as one.\n")),
                 qPrintable(said));
    }

    // A command stuck without progress (a call into the MIDI library that never returns) is
    // ended by its watchdog, with the exit code decided so far or 3, saying that the MIDI server
    // did not respond; quietly when the command had already succeeded.
    void watchdogEndsAStuckCommand_data()
    {
        QTest::addColumn<int>("decided");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("says");
        QTest::newRow("undecided") << -1 << int(ControlCommands::DeviceError) << true;
        QTest::newRow("instrument silent") << int(ControlCommands::InstrumentSilent)
                                           << int(ControlCommands::InstrumentSilent) << true;
        QTest::newRow("done") << int(ControlCommands::Done) << int(ControlCommands::Done) << false;
    }
    void watchdogEndsAStuckCommand()
    {
        QFETCH(int, decided);
        QFETCH(int, code);
        QFETCH(bool, says);
        if (qEnvironmentVariableIsSet("ZORVIK_STUCK_COMMAND")) {   // the stuck command itself
            CommandWatchdog watchdog(QStringLiteral("zorvikctl"), std::chrono::milliseconds(300),
                                     ControlCommands::DeviceError);
            watchdog.feed();
            if (decided >= 0)
                watchdog.decided(decided);
            QThread::sleep(30);
            std::_Exit(99);
        }
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZORVIK_STUCK_COMMAND"), QStringLiteral("1"));
        command.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        command.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("watchdogEndsAStuckCommand:") + QString::fromLatin1(QTest::currentDataTag())});
        QVERIFY(command.waitForFinished(20000));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(command.exitStatus(), QProcess::NormalExit);
        QCOMPARE(command.exitCode(), code);
        QCOMPARE(command.readAllStandardError().contains("zorvikctl: the MIDI server did not respond"), says);
    }

    void curveSendsTheStoredMap()
    {
        CurveFile::Contents contents;
        contents.curve.keyNew = contents.curve.keySource;
        contents.curve.computeMap(contents.map);
        contents.map[10] = 99;   // the stored map goes out as it is, not recomputed
        QVERIFY(CurveFile::save(path("c.crv"), contents).ok);
        const Run result = run({"curve", path("c.crv")});
        QCOMPARE(result.code, int(ControlCommands::Done));
        QCOMPARE(int(result.map[10]), 99);
        QCOMPARE(int(result.map[50]), 50);
        writeFile(path("bad.crv"), QByteArray(100, '\0'));
        QCOMPARE(run({"curve", path("bad.crv")}).code, int(ControlCommands::FileRefused));
    }

    // Without --out and --in the instrument is used; with none, the command stops and says
    // what there is and how to choose.
    void defaultDeviceIsTheInstrument()
    {
        QFile golden(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        writeFile(path("d.syx"), golden.readAll());
        auto fake = std::make_shared<FakePorts::State>();
        fake->outputs = {QStringLiteral("Synth"), QStringLiteral("Zorvik K8 (USB)")};
        ControlCommands commands([fake](bool) { return std::make_unique<FakePorts>(fake); });
        QCOMPARE(commands.run({"send", path("d.syx")}), int(ControlCommands::Done));
        QCOMPARE(fake->sent.size(), 1);   // the template went to the instrument
        QCOMPARE(fake->sent.at(0).size(), 162);

        fake->outputs = {QStringLiteral("Synth")};
        int code = -1;
        const QString said = stderrOf([&] { code = commands.run({"send", path("d.syx")}); });
        QCOMPARE(code, int(ControlCommands::DeviceError));
        QCOMPARE(fake->sent.size(), 1);   // not to the built-in simulator either
        QVERIFY2(said.contains("no instrument found") && said.contains("-1 Zorvik Simulator (built-in), 0 Synth")
                     && said.contains("--out -1 --in 0"),
                 qPrintable(said));
        // A block transfer needs the instrument's input too.
        writeFile(path("f.bin"), QByteArray(100, 1));
        fake->outputs = {QStringLiteral("Zorvik K8 (USB)")};
        QCOMPARE(commands.run({"send", path("f.bin")}), int(ControlCommands::DeviceError));
        QCOMPARE(fake->sent.size(), 1);
    }

    // The numbers a script uses: -1 the built-in output, 0 the built-in input, the system's
    // outputs from 0 and its inputs from 1, alike in the list and in --out and --in.
    void deviceNumbers()
    {
        auto fake = std::make_shared<FakePorts::State>();
        fake->outputs = {QStringLiteral("Synth"), QStringLiteral("Port B")};
        fake->inputs = {QStringLiteral("Keys")};
        ControlCommands commands([fake](bool) { return std::make_unique<FakePorts>(fake); });
        int code = -1;
        const QString listed = stdoutOf([&] { code = commands.run({"ports"}); });
        QCOMPARE(code, int(ControlCommands::Done));
        QCOMPARE(listed, QStringLiteral("Out:\n  -1  Zorvik Simulator\n   0  Synth\n   1  Port B\n"
                                        "In:\n   0  Zorvik Simulator\n   1  Keys\n"));

        writeFile(path("n.crv"), CurveFile::serialize(CurveFile::Contents{}));
        QString said = stdoutOf([&] { code = commands.run({"curve", path("n.crv"), "--out", "1", "--in", "1"}); });
        QCOMPARE(code, int(ControlCommands::Done));
        QVERIFY2(said.contains(QStringLiteral(" to Port B in ")), qPrintable(said));
        QCOMPARE(fake->sent.size(), 1);
        said = stdoutOf([&] { code = commands.run({"curve", path("n.crv"), "--out", "0", "--in", "0"}); });
        QCOMPARE(code, int(ControlCommands::Done));
        QVERIFY2(said.contains(QStringLiteral(" to Synth in ")), qPrintable(said));
        QCOMPARE(fake->sent.size(), 2);
        said = stderrOf([&] { code = commands.run({"curve", path("n.crv"), "--out", "2"}); });
        QCOMPARE(code, int(ControlCommands::DeviceError));
        QVERIFY2(said.contains(QStringLiteral("no single device matches 2")), qPrintable(said));
        said = stderrOf([&] { code = commands.run({"curve", path("n.crv"), "--out", "-1", "--in", "2"}); });
        QCOMPARE(code, int(ControlCommands::DeviceError));
        QVERIFY2(said.contains(QStringLiteral("no single device matches 2")), qPrintable(said));
        QCOMPARE(fake->sent.size(), 2);
    }

    void playChecksItsArguments()
    {
        writeFile(path("notes.txt"), "x");
        writeFile(path("broken.mid"), "MThd");
        ControlCommands commands([](bool) { return std::make_unique<FakePorts>(); });
        QCOMPARE(commands.run({"play"}), int(ControlCommands::UsageError));
        QCOMPARE(commands.run({"play", path("notes.txt")}), int(ControlCommands::UsageError));
        QCOMPARE(commands.run({"play", path("absent.mid"), "--audio-driver", "alsa"}), int(ControlCommands::FileRefused));
        QCOMPARE(commands.run({"play", path("broken.mid"), "--audio-driver", "alsa"}), int(ControlCommands::FileRefused));
        // A pipe named like a song is refused at once, not waited on.
        QVERIFY(::mkfifo(qPrintable(path("pipe.csf")), 0600) == 0);
        QCOMPARE(commands.run({"play", path("pipe.csf"), "--audio-driver", "alsa"}), int(ControlCommands::FileRefused));
        int code = -1;
        const QString said = stderrOf([&] { code = commands.run({"play", path("broken.mid"), "--audio-driver", "no-such"}); });
        QCOMPARE(code, int(ControlCommands::UsageError));
        QVERIFY2(said.contains("The audio driver \"no-such\" is not available."), qPrintable(said));
    }

    void playEndsAtTheEndOrOnInterrupt()
    {
        if (SongRenderer::findSoundFont().isEmpty())
            QSKIP("no General MIDI soundfont installed");
        QVERIFY(TestSongs::write(path("short.mid"), TestSongs::oneNote(0.1, 0.5, 1.0)));
        QVERIFY(TestSongs::write(path("long.mid"), TestSongs::oneNote(0.1, 50, 60)));
        const auto options = [](std::function<std::unique_ptr<AudioOutput>()> output) {
            SongEngine::Options engine;
            engine.output = std::move(output);
            return engine;
        };

        int code = -1;
        QString said = stderrOf([&] {
            code = SongPlayCommand("zorvikctl", options([] { return std::make_unique<ThreadOutput>(false); }))
                       .run(path("short.mid"));
        });
        QCOMPARE(code, int(ControlCommands::Done));
        QVERIFY2(said.contains("playing short.mid (00:01)") && said.contains("played to the end (00:01)"),
                 qPrintable(said));

        // Ctrl+C stops the song; the program goes on to say where.
        said = stderrOf([&] {
            code = SongPlayCommand("zorvikctl", options([] { return std::make_unique<ThreadOutput>(true, 300); }))
                       .run(path("long.mid"));
        });
        QCOMPARE(code, int(ControlCommands::Done));
        QVERIFY2(said.contains("stopped at 00:00 / 01:00"), qPrintable(said));

        said = stderrOf([&] {
            code = SongPlayCommand("zorvikctl", options([] { return std::make_unique<FailingOutput>(); }))
                       .run(path("long.mid"));
        });
        QCOMPARE(code, int(ControlCommands::DeviceError));
        QCOMPARE(said, QStringLiteral("zorvikctl: No sound output could be started.\nzorvikctl: Tried: none\n"));
    }

    // The real sound outputs, pointed at servers that are not there: each is tried quickly and
    // quietly, and one message says what was tried (or, on a machine with a sound card, the
    // song plays).
    void playWithoutSoundSaysWhatWasTriedAndNothingElse()
    {
        if (SongRenderer::findSoundFont().isEmpty())
            QSKIP("no General MIDI soundfont installed");
        QVERIFY(TestSongs::write(path("tiny.mid"), TestSongs::oneNote(0.0, 0.2, 0.3)));
        QProcess control;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ZORVIK_AUDIO_DRIVER"));
        env.insert(QStringLiteral("JACK_DEFAULT_SERVER"), QStringLiteral("zorvik-no-such-server"));
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + path("no-pulse"));
        env.insert(QStringLiteral("PIPEWIRE_REMOTE"), path("no-pipewire"));
        control.setProcessEnvironment(env);
        control.start(QStringLiteral(ZORVIK_CTL_PATH), {"play", path("tiny.mid")});
        QVERIFY(control.waitForFinished(30000));
        const QString said = QString::fromUtf8(control.readAllStandardError());
        for (const char *noise : {"ALSA lib", "Cannot connect to server", "fluidsynth:", "jack server", "JackServer"})
            QVERIFY2(!said.contains(QLatin1String(noise)), qPrintable(said));
        if (control.exitCode() == int(ControlCommands::Done))
            return;
        QCOMPARE(control.exitCode(), int(ControlCommands::DeviceError));
        QVERIFY2(said.contains("No sound output could be started") && said.contains("JACK: no JACK server is running"),
                 qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestControlCommands)
#include "tst_ControlCommands.moc"
