// zorvik-sim as scripts run it: bad option values are refused with its usage; it stays up when its
// standard input ends; quit, SIGINT, SIGTERM and SIGHUP end it cleanly, its ports gone; and it ends with a
// message when its JACK server goes away.
#include "devices/midi/RtMidiBackend.h"
#include "support/JackRig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>

namespace {

// How many simulator ports the JACK server lists.
int simulatorPorts()
{
    RtMidiBackend ports(RtMidi::UNIX_JACK);
    return int(ports.outputNames().filter(QStringLiteral("Zorvik Simulator")).size());
}

// The process's resident memory in KiB, from /proc (0 when it cannot be read).
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

bool waitForReady(QProcess &sim)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && sim.state() != QProcess::NotRunning) {
        while (sim.canReadLine()) {
            if (sim.readLine().trimmed() == "ready")
                return true;
        }
        sim.waitForReadyRead(100);
    }
    return false;
}

} // namespace

class TestSimulatorProgram : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<JackRig> rig;
    bool serverStarted = false;

    void startSimulator(QProcess &sim, bool quiet = true)
    {
        QStringList arguments{QStringLiteral("--jack")};
        if (quiet)
            arguments << QStringLiteral("--quiet");
        sim.start(QStringLiteral(ZORVIK_SIM_PATH), arguments);
        QVERIFY(sim.waitForStarted(5000));
        QVERIFY(waitForReady(sim));
        QTRY_COMPARE_WITH_TIMEOUT(simulatorPorts(), 1, 5000);
    }

    // The private server, started again when a test stopped it; false without one.
    bool serverUp()
    {
        if (!rig->running() && serverStarted)
            rig->start();
        return rig->running();
    }

private slots:
    // All but the option checks need a JACK server of their own, without the rig's simulator.
    // Without one they are skipped, each saying why.
    void initTestCase()
    {
        rig = std::make_unique<JackRig>();
        serverStarted = rig->start();
        if (!serverStarted)
            qWarning("no private JACK server: %s", qPrintable(rig->problem()));
    }
    void cleanupTestCase() { rig.reset(); }

    void badOptionValues_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("delay not a number") << QStringList{"--delay", "abc"};
        QTest::newRow("negative delay") << QStringList{"--delay", "-5"};
        QTest::newRow("stop-after not a number") << QStringList{"--stop-after", "x"};
        QTest::newRow("drop-reply 0") << QStringList{"--drop-reply", "0"};
        QTest::newRow("garble-reply -3") << QStringList{"--garble-reply", "-3"};
    }
    void badOptionValues()
    {
        QFETCH(QStringList, arguments);
        QProcess sim;
        sim.start(QStringLiteral(ZORVIK_SIM_PATH), arguments);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 1);
        const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("takes a whole number from")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("Usage:")), qPrintable(error));
    }

    void runsUntilToldToStop_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGINT") << "SIGINT";
        QTest::newRow("SIGHUP") << "SIGHUP";
        QTest::newRow("quit") << "quit";
    }
    void runsUntilToldToStop()
    {
        QFETCH(QString, stop);
        if (!serverUp())
            QSKIP(qPrintable(QStringLiteral("no private JACK server: ") + rig->problem()));
        QProcess sim;
        startSimulator(sim);
        if (stop == QLatin1String("quit")) {
            sim.write("quit\n");
        } else {
            // A script's "zorvik-sim --jack &" has no input: the end of it is no reason to stop.
            sim.closeWriteChannel();
            QTest::qWait(1000);
            QCOMPARE(sim.state(), QProcess::Running);
            QCOMPARE(simulatorPorts(), 1);
            const int signal = stop == QLatin1String("SIGINT") ? SIGINT : stop == QLatin1String("SIGHUP") ? SIGHUP : SIGTERM;
            ::kill(pid_t(sim.processId()), signal);
        }
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(simulatorPorts(), 0, 5000);
    }

    // The controls' messages on standard input: channels 1-16, bend -8192..8191; a bad argument
    // is refused with the command's usage, and nothing is sent for it.
    void controllerAndBendCommands()
    {
        if (!serverUp())
            QSKIP(qPrintable(QStringLiteral("no private JACK server: ") + rig->problem()));
        QProcess sim;
        startSimulator(sim, false);
        sim.write("cc 1 72 100\nbend 3 -8192\nbend 16 8191\nnote 60 100\n"
                  "cc 17 1 1\ncc 1 72\ncc 1 72 x\nbend 1 8192\nbend 0 0\nnote 60 abc\nnote 128 1\n");
        QStringList sent, errors;
        QElapsedTimer clock;
        clock.start();
        // Replies go out from the event loop: wait for them before quitting.
        while ((sent.size() < 4 || errors.size() < 7) && clock.elapsed() < 10000) {
            if (!sim.canReadLine() && !sim.waitForReadyRead(100))
                continue;
            while (sim.canReadLine()) {
                const QByteArray line = sim.readLine().trimmed();
                if (line.startsWith("sent "))
                    sent << QString::fromLatin1(line.mid(5));
                else if (line.startsWith("error "))
                    errors << QString::fromLatin1(line);
            }
        }
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(sent, (QStringList{"B0 48 64", "E2 00 00", "EF 7F 7F", "90 3C 64"}));
        QCOMPARE(errors.size(), 7);
        QCOMPARE(errors.at(0), QStringLiteral("error usage: cc CH(1-16) NUMBER(0-127) VALUE(0-127): cc 17 1 1"));
        QCOMPARE(errors.at(3), QStringLiteral("error usage: bend CH(1-16) VALUE(-8192..8191, 0 the centre): bend 1 8192"));
        QCOMPARE(errors.at(5), QStringLiteral("error usage: note KEY(0-127) VELOCITY(0-127): note 60 abc"));
    }

    // Words a command does not take, faults by a wrong name or value: each refused with its
    // usage, and quit with a word after it does not quit.
    void strayWordsAreRefused()
    {
        if (!serverUp())
            QSKIP(qPrintable(QStringLiteral("no private JACK server: ") + rig->problem()));
        QProcess sim;
        startSimulator(sim, false);
        sim.write("fault delay -1\nfault delay abc\nfault bogus 1\nfault stop-after\nfault vanish-before-last 7\n"
                  "quit now\ndump x\nstatus x\nfault vanish-before-last 1\nfault delay 0\nstatus\n");
        QStringList answers;
        QElapsedTimer clock;
        clock.start();
        while (!(answers.size() > 0 && answers.last().startsWith(QLatin1String("status "))) && clock.elapsed() < 10000) {
            if (!sim.canReadLine() && !sim.waitForReadyRead(100))
                continue;
            while (sim.canReadLine()) {
                const QString line = QString::fromUtf8(sim.readLine().trimmed());
                if (line.startsWith(QLatin1String("error")) || line.startsWith(QLatin1String("fault"))
                    || line.startsWith(QLatin1String("status")))
                    answers << line;
            }
        }
        QCOMPARE(sim.state(), QProcess::Running);   // "quit now" did not quit
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(answers.size(), 11);
        QCOMPARE(answers.at(0), QStringLiteral("error usage: fault delay N(0 or more): fault delay -1"));
        QCOMPARE(answers.at(1), QStringLiteral("error usage: fault delay N(0 or more): fault delay abc"));
        QCOMPARE(answers.at(2), QStringLiteral("error usage: fault NAME VALUE, NAME one of delay, stop-after, drop-reply, "
                                               "garble-reply, unfinished-sysex, vanish-before-last: fault bogus 1"));
        QCOMPARE(answers.at(3), QStringLiteral("error usage: fault stop-after N(0 or more, -1 off): fault stop-after"));
        QCOMPARE(answers.at(4), QStringLiteral("error usage: fault vanish-before-last 1|0 (on or off): fault vanish-before-last 7"));
        QCOMPARE(answers.at(5), QStringLiteral("error usage: quit: quit now"));
        QCOMPARE(answers.at(6), QStringLiteral("error usage: dump: dump x"));
        QCOMPARE(answers.at(7), QStringLiteral("error usage: status: status x"));
        QCOMPARE(answers.at(8), QStringLiteral("fault vanish-before-last 1"));
        QCOMPARE(answers.at(9), QStringLiteral("fault delay 0"));
        QVERIFY(answers.at(10).startsWith(QStringLiteral("status received 0 ")));
    }

    // A line without a newline, 32 MB long: dropped in linear time and bounded memory, said
    // once, and the next command is answered.
    void endlessLineIsDropped()
    {
        if (!serverUp())
            QSKIP(qPrintable(QStringLiteral("no private JACK server: ") + rig->problem()));
        QProcess sim;
        startSimulator(sim);
        QElapsedTimer clock;
        clock.start();
        const QByteArray block(1024 * 1024, 'a');
        const qint64 atStart = residentKiB(sim.processId());
        qint64 maxResident = atStart;
        for (int i = 0; i < 32; ++i) {
            sim.write(block);
            while (sim.bytesToWrite() > 0 && sim.waitForBytesWritten(10000)) {
            }
            maxResident = std::max(maxResident, residentKiB(sim.processId()));
        }
        sim.write("\nstatus\n");
        QStringList lines;
        while (!(lines.size() > 0 && lines.last().startsWith(QLatin1String("status "))) && clock.elapsed() < 30000) {
            if (!sim.canReadLine() && !sim.waitForReadyRead(100))
                continue;
            while (sim.canReadLine())
                lines << QString::fromUtf8(sim.readLine().trimmed());
        }
        const qint64 took = clock.elapsed();
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(lines.filter(QStringLiteral("line too long")).size(), 1);
        QCOMPARE(lines.filter(QStringLiteral("line too long")).first(),
                 QStringLiteral("error: line too long (more than 4096 bytes); it is dropped"));
        QVERIFY2(lines.last().startsWith(QStringLiteral("status ")), qPrintable(lines.join('|')));
        QVERIFY2(took < 15000, qPrintable(QString::number(took)));
        // KiB: the line is not kept (it grew by the whole 32 MB, and more, before)
        QVERIFY2(maxResident - atStart < 8 * 1024, qPrintable(QStringLiteral("%1 -> %2").arg(atStart).arg(maxResident)));
    }

    // The server goes away under a running simulator (the next test starts it again).
    void serverGoneEndsIt()
    {
        if (!serverUp())
            QSKIP(qPrintable(QStringLiteral("no private JACK server: ") + rig->problem()));
        QProcess sim;
        startSimulator(sim);
        QVERIFY(rig->stop());
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 3);
        const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("zorvik-sim: the MIDI server has gone away")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestSimulatorProgram)
#include "tst_SimulatorProgram.moc"
