#include "app/CommandWatchdog.h"
#include "app/ControlCommands.h"
#include "curve/CurveFile.h"
#include "midi/MidiPortBackend.h"
#include "midi/MidiSystem.h"
#include "sim/InstrumentSimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace {

// The system's ports stay out of these tests: only the built-in simulator is there.
class NoPorts : public MidiPortBackend
{
public:
    QStringList outputNames() override { return {}; }
    QStringList inputNames() override { return {}; }
    std::unique_ptr<MidiOutputPort> openOutput(int, QString *) override { return nullptr; }
    std::unique_ptr<MidiInputPort> openInput(int, MidiInputPort::Receiver, QString *) override { return nullptr; }
};

struct Run
{
    int code = -1;
    InstrumentSimulator::Transfer transfer;
    QByteArray lastMessage;
    std::array<std::uint8_t, 128> map{};
};

Run run(const QStringList &arguments, std::function<void(InstrumentSimulator &)> setUp = {})
{
    Run result;
    ControlCommands commands([](bool) { return std::make_unique<NoPorts>(); });
    InstrumentSimulator *simulator = nullptr;
    commands.onStarted = [&](MidiSystem &midi) {
        simulator = &midi.simulator();
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

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

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

        QFile golden(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QByteArray image = golden.readAll();
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
};

QTEST_GUILESS_MAIN(TestControlCommands)
#include "tst_ControlCommands.moc"
