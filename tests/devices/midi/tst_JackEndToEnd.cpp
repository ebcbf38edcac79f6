// End to end over a real MIDI transport: a private JACK server with the dummy driver, the
// zorvik-sim program on its virtual ports, and the program's own send and capture, and the
// instrument found among the server's ports.
#include "core/midi/DeviceSelection.h"
#include "core/transfer/DumpReceiver.h"
#include "core/transfer/TransferDriver.h"
#include "support/InputListener.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"
#ifdef ZORVIK_HAVE_JACK
#include "devices/midi/JackBackend.h"
#endif
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiOutSession.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "devices/midi/RtMidiBackend.h"
#include "support/InstrumentMessage.h"
#include "support/JackRig.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <RtMidi.h>

#include <csignal>
#include <sys/types.h>

namespace {

QByteArray message(std::uint8_t command, std::uint8_t number, int count, const QByteArray &payload = {})
{
    return instrumentMessage(command, number, count, payload);
}

QByteArray firmwareImage(int size, int seed)
{
    QByteArray firmware(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        firmware[i] = char((i * 31 + seed) ^ (i >> 8));
    return firmware;
}

QString sha1(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

// Another program's MIDI input port on the server, for as long as it lives.
std::unique_ptr<RtMidiIn> foreignPort(const char *name)
{
    auto port = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, name);
    port->openVirtualPort(name);
    return port;
}

struct ControlRun
{
    int code = -1;
    QString errors;   // what it wrote on stderr
    qint64 ms = 0;
};

} // namespace

class MidiJackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifndef ZORVIK_HAVE_JACK
        QSKIP("built without JACK's client library");
#endif
        // Device locks of this test's processes in a folder of their own.
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        if (!rig.start())
            QSKIP(qPrintable(rig.problem()));

        // Ports of other programs that leave before the simulator's make room in the server's
        // port table where later ports are listed before the simulator's, as on a machine in use.
        std::vector<std::unique_ptr<RtMidiIn>> early;
        for (int i = 0; i < 6; ++i)
            early.push_back(foreignPort(qPrintable(QStringLiteral("early %1").arg(i))));
        if (!startSim())
            QSKIP(qPrintable(rig.problem()));
        early.clear();
        midi = std::make_unique<SimulatedMidi>(std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
        findSimulator();
        ports = QStringList{QStringLiteral("--jack"), QStringLiteral("--out"), QStringLiteral("Zorvik Simulator"),
                            QStringLiteral("--in"), QStringLiteral("Zorvik Simulator")};
    }

    void cleanupTestCase()
    {
        midi.reset();
        rig.stop();
    }

    void templateAndBlockTransferArriveExactly()
    {
        midi->devices().use(outDevice, inDevice);
        ScriptedPrompts prompts;
        MidiOutSession session(*midi);
        QList<QByteArray> sentMessages;
        auto send = [&](const QByteArray &m) {
            sentMessages.append(m);
            return session.send(reinterpret_cast<const std::uint8_t *>(m.constData()), quint32(m.size()));
        };

        PanelSettings panel;
        panel.storeDefaultBoxes();
        QByteArray templ = panel.buildTemplateSysEx();
        templ[9] = 2;
        QCOMPARE(send(templ), SendResult::Sent);

        QByteArray image(1500, 0);
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(i * 13);
        const QByteArray packed = SevenBitCodec::Pack(image);   // 1715 bytes: two blocks
        InputListener listener(midi->capture());
        int next = 0;
        listener.onShort = [&](std::uint32_t value) {
            if (value == 0x333C90 && next < 2) {
                QCOMPARE(send(message(TransferHeader::DataBlock, 7, next, packed.mid(next * 1024, 1024))),
                         SendResult::Sent);
                ++next;
            }
        };
        QVERIFY(listener.open());
        QCOMPARE(send(message(TransferHeader::SongAnnouncement, 7, 2)), SendResult::Sent);
        QVERIFY(waitForLine(QStringLiteral("log transfer complete: song number 7, 1500 bytes"), 5000));
        listener.close();

        QCOMPARE(listener.shorts, (QList<std::uint32_t>{0x113C90, 0x333C90, 0x333C90}));
        QCOMPARE(received, sentMessages);
        QVERIFY(prompts.asked.isEmpty());

        // And the other way: the simulator's dump of the template it now holds.
        DumpReceiver receiver(*midi, prompts);
        QSignalSpy dumps(&receiver, &DumpReceiver::received);
        QVERIFY(receiver.listen());
        sim.write("dump\n");
        QTRY_COMPARE_WITH_TIMEOUT(dumps.size(), 1, 5000);
        templ[9] = char(TransferHeader::noNumber);
        QCOMPARE(receiver.dump(), templ);
    }

    // The command line over the same transport: a firmware image lands byte for byte, and a
    // received dump is saved exactly.
    void commandLineTransfersOverJack()
    {
        const QByteArray firmware = firmwareImage(300 * 1024, 0);
        const QString image = writeImage("update.bin", firmware);
        QCOMPARE(runControl(QStringList{QStringLiteral("send"), image} + ports).code, 0);
        sim.write("status\n");
        const QString status = readUntil(QStringLiteral("status "), 5000);
        QVERIFY2(status.contains(QStringLiteral(" complete 307200 bytes")), qPrintable(status));
        QVERIFY2(status.endsWith(QString::fromLatin1(QCryptographicHash::hash(firmware, QCryptographicHash::Sha1).toHex())),
                 qPrintable(status));

        const QString dump = dir.filePath(QStringLiteral("dump.syx"));
        QCOMPARE(runControl(QStringList{QStringLiteral("receive"), dump, QStringLiteral("--timeout"), QStringLiteral("10")}
                                + ports,
                            true)
                     .code,
                 0);
        QFile saved(dump);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        PanelSettings panel;
        QByteArray expected = panel.buildTemplateSysEx();
        QCOMPARE(saved.readAll().mid(13), expected.mid(13));   // the frame's number is the simulator's
    }

    // The instrument sends a SysEx without its F7 and then its ReplyReady as a message of its
    // own: the reply is heard and the transfer goes through.
    void unfinishedSysExDoesNotSwallowTheReplies()
    {
        setFault("unfinished-sysex", 1);
        const QByteArray firmware = firmwareImage(5000, 1);
        const ControlRun run = runControl(QStringList{QStringLiteral("send"), writeImage("sysex.bin", firmware), QStringLiteral("--timeout"), QStringLiteral("5")} + ports);
        setFault("unfinished-sysex", -1);
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        QVERIFY(simStatus().endsWith(QStringLiteral(" complete 5000 bytes sha1 ") + sha1(firmware)));
    }

    // Another program's port appears mid-transfer where the simulator's stood in the list: the
    // transfer carries on to the simulator.
    void anotherProgramsPortDoesNotTakeOverTheTransfer()
    {
        const QByteArray firmware = firmwareImage(100 * 1024, 2);
        QProcess control;
        startControl(control, QStringList{QStringLiteral("send"), writeImage("shift.bin", firmware), QStringLiteral("--timeout"), QStringLiteral("5")} + ports);
        QVERIFY(readUntil(QStringLiteral("log block 10 of"), 10000).size() > 0);
        const auto monitor = foreignPort("monitor");
        int monitorNumber = -1, simNumber = -1;
        for (const auto &d : midi->outputs()) {
            if (d.name.startsWith(QLatin1String("monitor")))
                monitorNumber = d.number;
            else if (d.name.contains(QLatin1String("Zorvik Simulator")) && d.number >= 0)
                simNumber = d.number;
        }
        QVERIFY2(monitorNumber >= 0 && monitorNumber < simNumber, "the other port must be listed first");
        const ControlRun run = finishControl(control);
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        QVERIFY(simStatus().endsWith(sha1(firmware)));
        findSimulator();
    }

    // The instrument asks for the last block and is gone before it can take it: not a success.
    void instrumentGoneBeforeTheLastBlock()
    {
        setFault("vanish-before-last", 1);
        const QByteArray firmware = firmwareImage(5000, 3);   // 5715 packed bytes: six blocks
        const ControlRun run = runControl(QStringList{QStringLiteral("send"), writeImage("gone.bin", firmware), QStringLiteral("--timeout"), QStringLiteral("5")} + ports);
        QCOMPARE(run.code, 3);
        QVERIFY2(run.errors.contains(TransferSession::blockFailedStatus(5)), qPrintable(run.errors));
        quitSim();
        QVERIFY(startSim());
        findSimulator();
    }

    // Two transfers to one device at once, from two processes: the second waits for the first.
    // With less time than the first needs it gives up, the device busy; with enough, it follows.
    void twoTransfersToOneDeviceTakeTurns()
    {
        const QByteArray first = firmwareImage(100 * 1024, 4);
        const QByteArray second = firmwareImage(60 * 1024, 5);
        const QStringList sendFirst = QStringList{QStringLiteral("send"), writeImage("first.bin", first), QStringLiteral("--timeout"), QStringLiteral("10")} + ports;
        QProcess control;
        startControl(control, sendFirst);
        QVERIFY(readUntil(QStringLiteral("log block 5 of"), 10000).size() > 0);
        const ControlRun impatient = runControl(QStringList{QStringLiteral("send"), writeImage("second.bin", second), QStringLiteral("--timeout"), QStringLiteral("1")} + ports);
        QCOMPARE(impatient.code, 3);
        QVERIFY2(impatient.errors.contains(QStringLiteral("zorvikctl: the device is busy with another transfer")), qPrintable(impatient.errors));
        ControlRun run = finishControl(control);
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        QVERIFY(simStatus().endsWith(sha1(first)));

        startControl(control, sendFirst);
        QVERIFY(readUntil(QStringLiteral("log block 5 of"), 10000).size() > 0);
        QProcess follower;
        startControl(follower, QStringList{QStringLiteral("send"), dir.filePath(QStringLiteral("second.bin")), QStringLiteral("--timeout"), QStringLiteral("30")} + ports);
        completed.clear();
        run = finishControl(control);
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        const ControlRun followed = finishControl(follower);
        QVERIFY2(followed.code == 0, qPrintable(followed.errors));
        QCOMPARE(completed, (QStringList{QStringLiteral("log transfer complete: firmware number 24, 102400 bytes"),
                                         QStringLiteral("log transfer complete: firmware number 24, 61440 bytes")}));
        QVERIFY(simStatus().endsWith(sha1(second)));
    }

    // A stalled server (stopped with SIGSTOP): every command ends within its timeout and two
    // seconds more, saying that the MIDI server did not respond; the transfer engine that the
    // editor's dialog runs gives up on the device in bounded time instead of hanging.
    void stalledServerEndsEveryCommandInTime()
    {
        const auto resume = qScopeGuard([this] { ::kill(pid_t(rig.serverPid()), SIGCONT); });
        const QByteArray firmware = firmwareImage(300 * 1024, 6);
        const QString image = writeImage("stall.bin", firmware);
        const QStringList timeout{QStringLiteral("--timeout"), QStringLiteral("3")};
        QProcess control;
        startControl(control, QStringList{QStringLiteral("send"), image} + timeout + ports);
        QVERIFY(readUntil(QStringLiteral("log block 20 of"), 10000).size() > 0);
        ::kill(pid_t(rig.serverPid()), SIGSTOP);
        const qint64 allowed = 3000 + 2000 + 1000;   // the timeout, two seconds, and slack for a loaded machine
        ControlRun run = finishControl(control, false, 30000);
        QVERIFY2(run.code == 3 || run.code == 4, qPrintable(run.errors));
        QVERIFY2(run.ms < allowed, qPrintable(QString::number(run.ms)));
        QVERIFY2(run.errors.contains(QStringLiteral("zorvikctl: the MIDI server did not respond")), qPrintable(run.errors));

        for (const QStringList &arguments : {QStringList{QStringLiteral("ports"), QStringLiteral("--jack")} + timeout,
                                             QStringList{QStringLiteral("send"), image} + timeout + ports}) {
            run = runControl(arguments, false, 30000);
            QCOMPARE(run.code, 3);
            QVERIFY2(run.ms < allowed, qPrintable(QString::number(run.ms)));
            QVERIFY2(run.errors.contains(QStringLiteral("zorvikctl: the MIDI server did not respond")), qPrintable(run.errors));
        }

        midi->devices().use(outDevice, inDevice);
        ScriptedPrompts prompts;
        TransferDriver driver(*midi, prompts);
        QSignalSpy closeRequested(&driver, &TransferDriver::closeRequested);
        driver.open(FileKind::Firmware, firmware);
        QElapsedTimer clock;
        clock.start();
        driver.send();
        const qint64 blocked = clock.elapsed();
        ::kill(pid_t(rig.serverPid()), SIGCONT);
        QVERIFY2(blocked < 3000, qPrintable(QString::number(blocked)));
        QCOMPARE(closeRequested.count(), 1);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("There are no MIDI input devices!"));
        QVERIFY(!driver.busy());

        // The server is back: so are the devices.
        QTRY_VERIFY_WITH_TIMEOUT(midi->systemPorts().problem().isEmpty(), 10000);
        QCOMPARE(runControl(QStringList{QStringLiteral("ports"), QStringLiteral("--jack")}).code, 0);
    }

    // Last: a frozen server stalls RtMidi's send for good, and the send must give up in time.
    void stalledServerBoundsTheWait()
    {
        midi->devices().use(outDevice, midi->devices().input());
        MidiOutSession session(*midi);
        const QByteArray block = message(TransferHeader::DataBlock, 1, 0, QByteArray(1024, 0x21));
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(block.constData());
        QCOMPARE(session.send(bytes, 1038), SendResult::Sent);

        ::kill(pid_t(rig.serverPid()), SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        SendResult result = SendResult::Sent;
        int sent = 0;
        while (result == SendResult::Sent && sent < 100) {   // RtMidi's ring holds about 15 blocks
            result = session.send(bytes, 1038);
            ++sent;
        }
        const qint64 waited = clock.elapsed();
        ::kill(pid_t(rig.serverPid()), SIGCONT);

        QCOMPARE(result, SendResult::MessageRefused);
        QVERIFY2(waited < MidiOutSession::waitLimit(1038).count() + 1500, qPrintable(QString::number(waited)));
    }

    // zorvik-sim started in the background with no input is the instrument while it runs: the
    // default devices follow it out and in again, and a send reaches it without a restart.
    void backgroundSimulatorIsTheInstrument()
    {
        quitSim();   // the test's own simulator would be found first
        DeviceSelection &devices = midi->devices();
        devices.followInstrument();
        devices.startWatching();
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), int(MidiSystem::simulatorOutput), 10000);
        QCOMPARE(devices.label(), DeviceSelection::noInstrumentText);

        QProcess background;
        background.setStandardInputFile(QProcess::nullDevice());
        background.start(QStringLiteral(ZORVIK_SIM_PATH), {QStringLiteral("--jack")});
        QVERIFY(background.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(devices.output() >= 0 && devices.input() >= 1, 10000);
        QVERIFY2(devices.label().startsWith(QStringLiteral("zorvik-sim")), qPrintable(devices.label()));
        QVERIFY(devices.systemOutputInUse());

        ScriptedPrompts prompts;
        MidiOutSession session(*midi);
        PanelSettings panel;
        panel.storeDefaultBoxes();
        const QByteArray templ = panel.buildTemplateSysEx();
        const auto send = [&] {
            return session.send(reinterpret_cast<const std::uint8_t *>(templ.constData()), quint32(templ.size()));
        };
        QCOMPARE(send(), SendResult::Sent);
        const QByteArray heard = "recv " + templ.toHex(' ').toUpper();
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += background.readAllStandardOutput()).contains(heard), 5000);
        QCOMPARE(background.state(), QProcess::Running);   // the end of its input did not end it

        stop(background);
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), int(MidiSystem::simulatorOutput), 10000);
        QCOMPARE(devices.input(), int(MidiSystem::simulatorInput));
        QCOMPARE(devices.label(), DeviceSelection::noInstrumentText);

        QVERIFY(startSim());
        QTRY_VERIFY_WITH_TIMEOUT(devices.output() >= 0 && devices.input() >= 1, 10000);
        devices.stopWatching();
        findSimulator();
        received.clear();
        QCOMPARE(send(), SendResult::Sent);
        QElapsedTimer clock;
        clock.start();
        while (!received.contains(templ) && clock.elapsed() < 5000)
            waitForLine(QString(), 50);   // collects what the simulator received
        QVERIFY(received.contains(templ));
        QVERIFY(prompts.asked.isEmpty());
    }

private:
    bool startSim() { return rig.startSimulator(); }

    void findSimulator()
    {
        midi->releaseOutput();
        outDevice = inDevice = -1;
        for (const auto &d : midi->outputs())
            if (d.number >= 0 && d.name.contains(QStringLiteral("Zorvik Simulator")))
                outDevice = d.number;
        for (const auto &d : midi->inputs())
            if (d.number >= 1 && d.name.contains(QStringLiteral("Zorvik Simulator")))
                inDevice = d.number;
        QVERIFY2(outDevice >= 0 && inDevice >= 1, "the simulator's JACK ports are not listed");
    }

    void setFault(const char *name, int value)
    {
        const QString line = QStringLiteral("fault %1 %2").arg(QLatin1String(name)).arg(value);
        sim.write(line.toUtf8() + '\n');
        QVERIFY(waitForLine(line, 5000));
    }

    QString writeImage(const char *name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }

    // The simulator's answer to "status": received count, last transfer, image size and hash.
    QString simStatus() { return rig.simulatorStatus(); }

    void startControl(QProcess &control, const QStringList &arguments)
    {
        control.setProcessChannelMode(QProcess::SeparateChannels);
        control.start(QStringLiteral(ZORVIK_CTL_PATH), arguments);
        control.waitForStarted(5000);
    }

    // Waits for zorvikctl to end, draining the simulator's output meanwhile so it never blocks
    // on a full pipe; with askForDump the simulator is told to send its dump until the command
    // has one. Lines saying a transfer completed are kept in `completed`.
    ControlRun finishControl(QProcess &control, bool askForDump = false, qint64 limitMs = 90000)
    {
        ControlRun run;
        QElapsedTimer clock;
        clock.start();
        qint64 lastDump = -1000;
        while (control.state() != QProcess::NotRunning && clock.elapsed() < limitMs) {
            if (askForDump && clock.elapsed() - lastDump > 500) {
                sim.write("dump\n");
                lastDump = clock.elapsed();
            }
            drainSim();
            control.waitForFinished(5);
        }
        run.ms = clock.elapsed();
        if (control.state() != QProcess::NotRunning) {
            control.kill();
            control.waitForFinished(3000);
            run.code = -2;
        } else {
            run.code = control.exitStatus() == QProcess::NormalExit ? control.exitCode() : -3;
        }
        run.errors = QString::fromLocal8Bit(control.readAllStandardError());
        drainSim();
        return run;
    }

    ControlRun runControl(const QStringList &arguments, bool askForDump = false, qint64 limitMs = 90000)
    {
        QProcess control;
        startControl(control, arguments);
        return finishControl(control, askForDump, limitMs);
    }

    void drainSim()
    {
        sim.waitForReadyRead(5);
        while (sim.canReadLine()) {
            const QString text = QString::fromUtf8(sim.readLine()).trimmed();
            if (text.startsWith(QLatin1String("log transfer complete")))
                completed.append(text);
        }
    }

    // The first line of the simulator's output that starts with prefix.
    QString readUntil(const QString &prefix, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            while (sim.canReadLine()) {
                const QString text = QString::fromUtf8(sim.readLine()).trimmed();
                if (text.startsWith(prefix))
                    return text;
            }
            sim.waitForReadyRead(10);
        }
        return {};
    }

    // Reads the simulator's output until `line` comes, collecting what it received.
    bool waitForLine(const QString &line, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            while (sim.canReadLine()) {
                const QString text = QString::fromUtf8(sim.readLine()).trimmed();
                if (text.startsWith(QLatin1String("recv ")))
                    received.append(QByteArray::fromHex(text.mid(5).remove(' ').toLatin1()));
                if (text == line)
                    return true;
            }
            if (sim.state() != QProcess::Running)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            sim.waitForReadyRead(10);
        }
        return false;
    }

    void quitSim() { rig.quitSimulator(); }

    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process.processId()), SIGCONT);   // in case a test left it frozen
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    QTemporaryDir dir;
    QTemporaryDir runtime;
    QStringList ports;
    QStringList completed;
    JackRig rig;   // 512 frames at 48 kHz
    QProcess &sim = rig.simulator();
    QList<QByteArray> received;
    std::unique_ptr<SimulatedMidi> midi;
    int outDevice = -1;
    int inDevice = -1;
};

QTEST_GUILESS_MAIN(MidiJackTest)
#include "tst_JackEndToEnd.moc"
