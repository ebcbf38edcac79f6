// zorvik-sim as scripts run it: bad option values are refused with its usage; it stays up when its
// standard input ends; quit, SIGINT and SIGTERM end it cleanly, its ports gone; and it ends with a
// message when its JACK server goes away.
#include "devices/midi/RtMidiBackend.h"
#include "support/JackRig.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// How many simulator ports the JACK server lists.
int simulatorPorts()
{
    RtMidiBackend ports(RtMidi::UNIX_JACK);
    return int(ports.outputNames().filter(QStringLiteral("Zorvik Simulator")).size());
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

    void startSimulator(QProcess &sim)
    {
        sim.start(QStringLiteral(ZORVIK_SIM_PATH), {QStringLiteral("--jack"), QStringLiteral("--quiet")});
        QVERIFY(sim.waitForStarted(5000));
        QVERIFY(waitForReady(sim));
        QTRY_COMPARE_WITH_TIMEOUT(simulatorPorts(), 1, 5000);
    }

private slots:
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

    // The rest needs a JACK server of its own, without the rig's simulator.
    void startServer()
    {
        rig = std::make_unique<JackRig>();
        if (!rig->start())
            QSKIP(qPrintable(QStringLiteral("no private JACK server: ") + rig->problem()));
    }

    void runsUntilToldToStop_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGINT") << "SIGINT";
        QTest::newRow("quit") << "quit";
    }
    void runsUntilToldToStop()
    {
        QFETCH(QString, stop);
        if (!rig || !rig->running())
            QSKIP("no private JACK server");
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
            ::kill(pid_t(sim.processId()), stop == QLatin1String("SIGINT") ? SIGINT : SIGTERM);
        }
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(simulatorPorts(), 0, 5000);
    }

    // Last: the server goes away under a running simulator.
    void serverGoneEndsIt()
    {
        if (!rig || !rig->running())
            QSKIP("no private JACK server");
        QProcess sim;
        startSimulator(sim);
        QVERIFY(rig->stop());
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 3);
        const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("zorvik-sim: the MIDI server has gone away")), qPrintable(error));
    }

    void cleanupTestCase() { rig.reset(); }
};

QTEST_GUILESS_MAIN(TestSimulatorProgram)
#include "tst_SimulatorProgram.moc"
