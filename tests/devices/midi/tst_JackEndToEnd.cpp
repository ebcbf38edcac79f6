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

#include <jack/jack.h>
#endif
#include "core/midi/MidiInCapture.h"
#include "core/midi/SysExSender.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "devices/midi/RtMidiBackend.h"
#include "support/InstrumentMessage.h"
#include "support/JackRig.h"
#include "support/MidiDeviceText.h"
#include "support/TestFiles.h"
#include "core/song/SmfBuilder.h"
#include "devices/audio/SongRenderer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

using TestFiles::goldenTemplate;

QString sha1(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

// Another program's MIDI input port on the server, for as long as it lives.
// A port of another program on the server, listed as a MIDI input like a monitor's. Its client
// is never activated: no thread of its runs, so it can leave at any moment (a MIDI library's
// client that closes its port while its process thread runs may crash inside libjack).
class ForeignPort
{
public:
    ForeignPort(const char *clientName, const char *portName)
    {
#ifdef ZORVIK_HAVE_JACK
        client = jack_client_open(clientName, JackNoStartServer, nullptr);
        if (client)
            jack_port_register(client, portName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
#else
        Q_UNUSED(clientName);
        Q_UNUSED(portName);
#endif
    }
    ~ForeignPort()
    {
#ifdef ZORVIK_HAVE_JACK
        if (client)
            jack_client_close(client);
#endif
    }
    ForeignPort(const ForeignPort &) = delete;
    ForeignPort &operator=(const ForeignPort &) = delete;

private:
#ifdef ZORVIK_HAVE_JACK
    jack_client_t *client = nullptr;
#endif
};

std::unique_ptr<ForeignPort> foreignPort(const char *name, const char *portName = nullptr)
{
    return std::make_unique<ForeignPort>(name, portName ? portName : name);
}

struct ControlRun
{
    int code = -1;
    QString errors;   // what it wrote on stderr
    qint64 ms = 0;
};

} // namespace

class TestJackEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifndef ZORVIK_HAVE_JACK
        QSKIP("built without JACK's client library");
#endif
        // A runtime folder of the test's own, set for its processes: the device lock does not
        // depend on it (theDeviceLockIgnoresTheRuntimeFolder starts one transfer without it).
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        if (!rig.start())
            QSKIP(qPrintable(rig.problem()));

        // Ports of other programs that leave before the simulator's make room in the server's
        // port table where later ports are listed before the simulator's, as on a machine in use.
        std::vector<std::unique_ptr<ForeignPort>> early;
        for (int i = 0; i < 6; ++i)
            early.push_back(foreignPort(qPrintable(QStringLiteral("early %1").arg(i))));
        if (!startSim())
            QSKIP(qPrintable(rig.problem()));
        early.clear();
        midi = std::make_unique<SimulatedMidi>(std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
        findSimulator();
        // zorvik-sim's ports by a part of their names: "Zorvik Simulator" alone is the built-in one.
        ports = QStringList{QStringLiteral("--jack"), QStringLiteral("--out"), QStringLiteral("zorvik-sim"),
                            QStringLiteral("--in"), QStringLiteral("zorvik-sim")};
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
        SysExSender sender(midi->ports(), midi->devices());
        QList<QByteArray> sentMessages;
        auto send = [&](const QByteArray &m) {
            sentMessages.append(m);
            return sender.send(reinterpret_cast<const std::uint8_t *>(m.constData()), quint32(m.size()));
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
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
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
        int monitorPlace = -1, simPlace = -1;
        for (const auto &d : midi->ports().outputs()) {
            if (d.name.startsWith(QLatin1String("monitor")))
                monitorPlace = d.id.index();
            else if (d.name.contains(QLatin1String("Zorvik Simulator")) && d.id.isSystem())
                simPlace = d.id.index();
        }
        QVERIFY2(monitorPlace >= 0 && monitorPlace < simPlace, "the other port must be listed first");
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
        QVERIFY2(run.errors.contains(TransferOutcome::blockFailedText(5) + QStringLiteral(" Check the device and send the file again.")),
                 qPrintable(run.errors));
        quitSim();
        QVERIFY(startSim());
        findSimulator();
    }

    // The instrument's program is killed mid-transfer: the transfer ends at once with the
    // device-gone message, not after the reply timeout.
    void instrumentKilledMidTransferFailsAtOnce()
    {
        const QByteArray firmware = firmwareImage(300 * 1024, 7);   // 343 blocks
        QProcess control;
        startControl(control, QStringList{QStringLiteral("send"), writeImage("killed.bin", firmware)} + ports);
        QVERIFY(readUntil(QStringLiteral("log block 82 of"), 20000).size() > 0);
        ::kill(pid_t(sim.processId()), SIGTERM);
        QElapsedTimer clock;
        clock.start();
        const ControlRun run = finishControl(control);
        QCOMPARE(run.code, 3);
        QVERIFY2(run.errors.contains(QStringLiteral("could not be sent, so the transfer has stopped")), qPrintable(run.errors));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));   // the timeout is 60 s
        sim.waitForFinished(5000);
        restartSim();
    }

    // receive follows its instrument by name: a restarted zorvik-sim's dump is saved.
    void receiveFollowsTheInstrumentBack()
    {
        const QString dump = dir.filePath(QStringLiteral("followed.syx"));
        QProcess control;
        startControl(control, QStringList{QStringLiteral("receive"), dump, QStringLiteral("--timeout"), QStringLiteral("40")} + ports);
        QString said;
        QVERIFY(waitForTemporaryFile(dump, 10000));
        QTRY_VERIFY_WITH_TIMEOUT(rig.connectionsOfSimulator(true) > 0, 10000);   // listening
        quitSim();
        QVERIFY2(waitForErrors(control, QStringLiteral("has gone; listening for it to come back"), 10000, said), qPrintable(said));
        QTRY_VERIFY_WITH_TIMEOUT(!simulatorListed(), 10000);
        QVERIFY(startSim());
        QVERIFY2(waitForErrors(control, QStringLiteral("is back; listening again"), 10000, said), qPrintable(said));
        const ControlRun run = finishControl(control, true);
        QVERIFY2(run.code == 0, qPrintable(said + run.errors));
        QCOMPARE(readBytes(dump).size(), 162);
        findSimulator();
    }

    // Ctrl+C, SIGTERM or a hang-up mid-transfer: the transfer stops between blocks, says how far
    // it got and what the instrument holds, gives the device back, and ends with the shell's
    // code for the signal.
    void stopSignalsMidTransfer_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void stopSignalsMidTransfer()
    {
        QFETCH(int, signal);
        const QByteArray firmware = firmwareImage(300 * 1024, 8);
        QProcess control;
        startControl(control, QStringList{QStringLiteral("send"), writeImage("stopped.bin", firmware)} + ports);
        QVERIFY(readUntil(QStringLiteral("log block 20 of"), 20000).size() > 0);
        ::kill(pid_t(control.processId()), signal);
        const ControlRun run = finishControl(control);
        QCOMPARE(run.code, 128 + signal);
        static const QRegularExpression howFar(QStringLiteral(
            "^zorvikctl: stopped after (\\d+) of 343 blocks: the instrument keeps only part of the file; a firmware "
            "update must be sent again$"),
                                               QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = howFar.match(run.errors);
        QVERIFY2(match.hasMatch(), qPrintable(run.errors));
        QVERIFY(match.captured(1).toInt() >= 20 && match.captured(1).toInt() < 343);
        QVERIFY(simStatus().contains(QStringLiteral(" open ")));
        // The device is free at once: a transfer that may not wait gets it.
        const QByteArray small = firmwareImage(3000, 9);
        const ControlRun next = runControl(QStringList{QStringLiteral("send"), writeImage("next.bin", small), QStringLiteral("--timeout"), QStringLiteral("1")} + ports);
        QVERIFY2(next.code == 0, qPrintable(next.errors));
        QVERIFY(simStatus().endsWith(sha1(small)));
    }

    // A second signal ends zorvikctl at once, by that signal, without waiting to stop between
    // blocks. The two arrive together while it is stopped, so the second one always finds the
    // first still being handled.
    void aSecondSignalEndsAtOnce()
    {
        const QByteArray firmware = firmwareImage(300 * 1024, 10);
        QProcess control;
        startControl(control, QStringList{QStringLiteral("send"), writeImage("twice.bin", firmware)} + ports);
        QVERIFY(readUntil(QStringLiteral("log block 20 of"), 20000).size() > 0);
        const pid_t pid = pid_t(control.processId());
        ::kill(pid, SIGSTOP);
        ::kill(pid, SIGHUP);
        ::kill(pid, SIGINT);
        ::kill(pid, SIGCONT);
        const ControlRun run = finishControl(control);
        QCOMPARE(run.code, -3);   // ended by the signal
        QVERIFY2(!run.errors.contains(QStringLiteral("stopped after")), qPrintable(run.errors));
        QVERIFY2(run.ms < 3000, qPrintable(QString::number(run.ms)));
        QVERIFY(simStatus().contains(QStringLiteral(" open ")));
    }

    // receive makes its file before it listens: a stop removes it, the old file stays; a name
    // too long for the file system is refused before anything is listened to.
    void receiveMakesItsFileFirst()
    {
        const QString kept = dir.filePath(QStringLiteral("kept.syx"));
        QVERIFY(!writeImage("kept.syx", "old").isEmpty());
        for (const bool twice : {false, true}) {
            QProcess control;
            startControl(control, QStringList{QStringLiteral("receive"), kept, QStringLiteral("--timeout"), QStringLiteral("30")} + ports);
            QVERIFY(waitForTemporaryFile(kept, 10000));
            const pid_t pid = pid_t(control.processId());
            if (twice) {
                ::kill(pid, SIGSTOP);
                ::kill(pid, SIGTERM);
                ::kill(pid, SIGINT);
                ::kill(pid, SIGCONT);
            } else {
                ::kill(pid, SIGTERM);
            }
            const ControlRun run = finishControl(control);
            if (twice) {
                QCOMPARE(run.code, -3);
            } else {
                QCOMPARE(run.code, 143);
                QVERIFY2(run.errors.contains(QStringLiteral("zorvikctl: stopped while listening; nothing was saved")), qPrintable(run.errors));
            }
            QCOMPARE(temporaryFiles(kept), QStringList());
            QCOMPARE(readBytes(kept), QByteArray("old"));
        }

        const QString tooLong = dir.filePath(QString(256, QLatin1Char('n')) + QStringLiteral(".syx"));
        const ControlRun run = runControl(QStringList{QStringLiteral("receive"), tooLong, QStringLiteral("--timeout"), QStringLiteral("30")} + ports, true);
        QCOMPARE(run.code, 5);
        QVERIFY2(run.errors.contains(QStringLiteral("File name too long")), qPrintable(run.errors));
        QVERIFY2(run.ms < 5000, qPrintable(QString::number(run.ms)));   // not after a dump or the timeout
    }

    // Only a whole template is saved or sent: a "dump" of 20 bytes that starts like one (from a
    // program of its own on the server) is refused and the good file stays; such a file is not
    // sent.
    void onlyWholeTemplatesAreSavedOrSent()
    {
        const QByteArray golden = goldenTemplate();
        const QString good = writeImage("good.syx", golden);
        RtMidiOut injector(RtMidi::UNIX_JACK, "injector");
        injector.openVirtualPort("dump source");
        const QByteArray shortDump = QByteArray::fromHex("F0002063000100030018000189010203040506F7");
        QProcess control;
        startControl(control, QStringList{QStringLiteral("receive"), good, QStringLiteral("--jack"), QStringLiteral("--in"),
                                          QStringLiteral("dump source"), QStringLiteral("--timeout"), QStringLiteral("20")});
        QElapsedTimer clock;
        clock.start();
        while (control.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
            injector.sendMessage(reinterpret_cast<const unsigned char *>(shortDump.constData()), size_t(shortDump.size()));
            control.waitForFinished(200);
        }
        const ControlRun run = finishControl(control);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.errors.contains(QStringLiteral("What arrived is not a whole template: it holds 20 bytes; a template "
                                                    "holds 162. Nothing was saved.")),
                 qPrintable(run.errors));
        QCOMPARE(readBytes(good), golden);
        QCOMPARE(temporaryFiles(good), QStringList());

        const QString before = simStatus();
        const ControlRun sent = runControl(QStringList{QStringLiteral("send"), writeImage("short.syx", shortDump)} + ports);
        QCOMPARE(sent.code, 2);
        QVERIFY2(sent.errors.contains(QStringLiteral("This file is not a template: it holds 20 bytes; a template holds 162.")),
                 qPrintable(sent.errors));
        QCOMPARE(simStatus(), before);   // nothing reached the instrument
    }

    // The device lock is found the same way whatever the environment: a transfer started
    // without XDG_RUNTIME_DIR (as from sudo, cron or ssh) meets the one started with it.
    void theDeviceLockIgnoresTheRuntimeFolder()
    {
        const QByteArray first = firmwareImage(100 * 1024, 11);
        QProcess control;
        startControl(control, QStringList{QStringLiteral("send"), writeImage("locked.bin", first), QStringLiteral("--timeout"), QStringLiteral("10")} + ports);
        QVERIFY(readUntil(QStringLiteral("log block 5 of"), 10000).size() > 0);
        QProcess other;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        other.setProcessEnvironment(environment);
        startControl(other, QStringList{QStringLiteral("send"), writeImage("other.bin", firmwareImage(5000, 12)), QStringLiteral("--timeout"), QStringLiteral("1")} + ports);
        const ControlRun impatient = finishControl(other);
        QCOMPARE(impatient.code, 3);
        QVERIFY2(impatient.errors.contains(QStringLiteral("zorvikctl: the device is busy with another transfer")), qPrintable(impatient.errors));
        const ControlRun run = finishControl(control);
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        QVERIFY(simStatus().endsWith(sha1(first)));
    }

    // The instrument is an output and an input of one device: a port of another program with
    // "Zorvik" in its name, listed first on one side, is passed over. With two instruments, one
    // line says which is used and how to choose the other.
    void theInstrumentIsAPair()
    {
        // The monitor takes a place in the port table that the simulator's ports leave.
        quitSim();
        QTRY_VERIFY_WITH_TIMEOUT(!simulatorListed(), 10000);
        auto monitor = foreignPort("monitor-app", "Zorvik Monitor");
        QVERIFY(startSim());
        findSimulator();
        int monitorPlace = -1, simPlace = -1;
        for (const auto &d : midi->ports().outputs()) {
            if (d.name.contains(QLatin1String("Zorvik Monitor")))
                monitorPlace = d.id.index();
            else if (d.name.contains(QLatin1String("zorvik-sim")))
                simPlace = d.id.index();
        }
        QVERIFY2(monitorPlace >= 0 && monitorPlace < simPlace, "the other port must be listed first");
        const QByteArray firmware = firmwareImage(20 * 1024, 13);
        ControlRun run = runControl({QStringLiteral("send"), writeImage("paired.bin", firmware), QStringLiteral("--jack"),
                                     QStringLiteral("--timeout"), QStringLiteral("5")});
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        QVERIFY2(!run.errors.contains(QStringLiteral("instruments found")), qPrintable(run.errors));
        QVERIFY(simStatus().endsWith(sha1(firmware)));

        QProcess second;
        second.setStandardInputFile(QProcess::nullDevice());
        second.start(QStringLiteral(ZORVIK_SIM_PATH), {QStringLiteral("--jack"), QStringLiteral("--quiet")});
        QVERIFY(second.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(midi->ports().outputs().size() >= 4 && midi->ports().inputs().size() >= 3, 10000);
        run = runControl({QStringLiteral("send"), writeImage("two.bin", firmware), QStringLiteral("--jack"),
                          QStringLiteral("--timeout"), QStringLiteral("5")});
        stop(second);
        QVERIFY2(run.code == 0, qPrintable(run.errors));
        static const QRegularExpression which(QStringLiteral(
            "^zorvikctl: 2 instruments found; using (\\S+):Zorvik Simulator \\(MIDI Out\\) and (\\S+):Zorvik Simulator "
            "\\(MIDI In\\); choose another with --out PORT and --in PORT, as 'zorvikctl ports' lists them$"),
                                              QRegularExpression::MultilineOption);
        QVERIFY2(which.match(run.errors).hasMatch(), qPrintable(run.errors));
        QCOMPARE(run.errors.count(QLatin1Char('\n')), 1);
        QVERIFY(simStatus().endsWith(sha1(firmware)));   // the first instrument, the one named
        monitor.reset();
        findSimulator();
    }

    // "Zorvik Simulator" exactly is the built-in simulator, even while zorvik-sim runs.
    void anExactNameWins()
    {
        const QString before = simStatus();
        const QString templ = writeImage("exact.syx", goldenTemplate());
        QProcess control;
        startControl(control, {QStringLiteral("send"), templ, QStringLiteral("--jack"), QStringLiteral("--out"),
                               QStringLiteral("Zorvik Simulator"), QStringLiteral("--in"), QStringLiteral("Zorvik Simulator")});
        QVERIFY(control.waitForFinished(20000));
        QCOMPARE(control.exitCode(), 0);
        const QString out = QString::fromUtf8(control.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral(" to Zorvik Simulator in ")), qPrintable(out));
        QCOMPARE(simStatus(), before);   // zorvik-sim got nothing
    }

    // A dense song (20 000 notes at once) is one line on stderr about the notes that could not
    // be played, not a warning for each of them.
    void denseSongSaysOnceThatNotesWereDropped()
    {
        if (SongRenderer::findSoundFont().isEmpty())
            QSKIP("no General MIDI soundfont installed");
        SmfBuilder smf(0, 480);
        const int track = smf.addTrack();
        for (int i = 0; i < 20000; ++i)
            smf.note(track, 0, 240, i % 16 == 9 ? 0 : i % 16, 24 + i % 80, 100);
        smf.endOfTrack(track, 480);
        const QString song = writeImage("dense.mid", smf.build());
        QProcess control;
        startControl(control, {QStringLiteral("play"), song, QStringLiteral("--audio-driver"), QStringLiteral("jack")});
        QVERIFY(control.waitForFinished(60000));
        const QString errors = QString::fromLocal8Bit(control.readAllStandardError());
        QVERIFY2(control.exitCode() == 0, qPrintable(errors.left(2000)));
        QCOMPARE(errors.count(QStringLiteral("Some notes were dropped")), 1);
        QVERIFY2(errors.count(QLatin1Char('\n')) <= 5, qPrintable(errors.left(2000)));
        QVERIFY2(!errors.contains(QStringLiteral("fluidsynth")), qPrintable(errors.left(2000)));
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
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
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
        QTRY_VERIFY_WITH_TIMEOUT(midi->ports().systemPorts().problem().isEmpty(), 10000);
        QCOMPARE(runControl(QStringList{QStringLiteral("ports"), QStringLiteral("--jack")}).code, 0);
    }

    // Last: a frozen server stalls RtMidi's send for good, and the send must give up in time.
    void stalledServerBoundsTheWait()
    {
        midi->devices().use(outDevice, midi->devices().input());
        SysExSender sender(midi->ports(), midi->devices());
        const QByteArray block = message(TransferHeader::DataBlock, 1, 0, QByteArray(1024, 0x21));
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(block.constData());
        QCOMPARE(sender.send(bytes, 1038), SendResult::Sent);

        ::kill(pid_t(rig.serverPid()), SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        SendResult result = SendResult::Sent;
        int sent = 0;
        while (result == SendResult::Sent && sent < 100) {   // RtMidi's ring holds about 15 blocks
            result = sender.send(bytes, 1038);
            ++sent;
        }
        const qint64 waited = clock.elapsed();
        ::kill(pid_t(rig.serverPid()), SIGCONT);

        QCOMPARE(result, SendResult::MessageRefused);
        QVERIFY2(waited < SysExSender::waitLimit(1038).count() + 1500, qPrintable(QString::number(waited)));
    }

    // zorvik-sim started in the background with no input is the instrument while it runs: the
    // default devices follow it out and in again, and a send reaches it without a restart.
    void backgroundSimulatorIsTheInstrument()
    {
        quitSim();   // the test's own simulator would be found first
        DeviceSelection &devices = midi->devices();
        devices.followInstrument();
        devices.startWatching();
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), MidiDevice::builtIn(), 10000);
        QCOMPARE(devices.label(), DeviceSelection::noInstrumentText);

        QProcess background;
        background.setStandardInputFile(QProcess::nullDevice());
        background.start(QStringLiteral(ZORVIK_SIM_PATH), {QStringLiteral("--jack")});
        QVERIFY(background.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(devices.output().isSystem() && devices.input().isSystem(), 10000);
        QVERIFY2(devices.label().startsWith(QStringLiteral("zorvik-sim")), qPrintable(devices.label()));
        QVERIFY(devices.systemOutputInUse());

        ScriptedPrompts prompts;
        SysExSender sender(midi->ports(), midi->devices());
        PanelSettings panel;
        panel.storeDefaultBoxes();
        const QByteArray templ = panel.buildTemplateSysEx();
        const auto send = [&] {
            return sender.send(reinterpret_cast<const std::uint8_t *>(templ.constData()), quint32(templ.size()));
        };
        QCOMPARE(send(), SendResult::Sent);
        const QByteArray heard = "recv " + templ.toHex(' ').toUpper();
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += background.readAllStandardOutput()).contains(heard), 5000);
        QCOMPARE(background.state(), QProcess::Running);   // the end of its input did not end it

        stop(background);
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), MidiDevice::builtIn(), 10000);
        QCOMPARE(devices.input(), MidiDevice::builtIn());
        QCOMPARE(devices.label(), DeviceSelection::noInstrumentText);

        QVERIFY(startSim());
        QTRY_VERIFY_WITH_TIMEOUT(devices.output().isSystem() && devices.input().isSystem(), 10000);
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
        midi->ports().releaseOutput();
        outDevice = inDevice = MidiDevice::none();
        for (const auto &d : midi->ports().outputs())
            if (d.id.isSystem() && d.name.contains(QStringLiteral("Zorvik Simulator")))
                outDevice = d.id;
        for (const auto &d : midi->ports().inputs())
            if (d.id.isSystem() && d.name.contains(QStringLiteral("Zorvik Simulator")))
                inDevice = d.id;
        QVERIFY2(outDevice.isSystem() && inDevice.isSystem(), "the simulator's JACK ports are not listed");
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

    static QByteArray readBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot be read)");
    }

    // The temporary files of a save beside `path` ("NAME.syx.XXXXXX").
    static QStringList temporaryFiles(const QString &path)
    {
        const QFileInfo info(path);
        return QDir(info.path()).entryList({info.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    }

    bool waitForTemporaryFile(const QString &path, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (temporaryFiles(path).isEmpty() && clock.elapsed() < ms)
            drainSim();
        return !temporaryFiles(path).isEmpty();
    }

    // Reads what zorvikctl says on stderr until `text` comes; `said` collects it.
    bool waitForErrors(QProcess &control, const QString &text, int ms, QString &said)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            said += QString::fromLocal8Bit(control.readAllStandardError());
            if (said.contains(text))
                return true;
            if (control.state() == QProcess::NotRunning)
                return false;
            drainSim();
            control.waitForReadyRead(20);
        }
        return false;
    }

    void quitSim() { rig.quitSimulator(); }

    bool simulatorListed()
    {
        const auto listed = [](const QList<MidiSystem::Device> &devices) {
            return std::any_of(devices.begin(), devices.end(),
                               [](const MidiSystem::Device &d) { return d.name.contains(QLatin1String("zorvik-sim")); });
        };
        return listed(midi->ports().outputs()) || listed(midi->ports().inputs());
    }

    // A simulator of its own again, once the last one's ports are gone, that answers both ways
    // through zorvikctl. The server may still be tidying up after a simulator that ended
    // mid-transfer, and a simulator started meanwhile may not be reached: it is started again.
    void restartSim()
    {
        const QString probe = dir.filePath(QStringLiteral("probe.syx"));
        for (int attempt = 0; attempt < 3; ++attempt) {
            quitSim();
            QTRY_VERIFY_WITH_TIMEOUT(!simulatorListed(), 10000);
            QTest::qWait(500 * attempt);
            QVERIFY(startSim());
            findSimulator();
            QFile::remove(probe);
            if (runControl(QStringList{QStringLiteral("receive"), probe, QStringLiteral("--timeout"), QStringLiteral("5")} + ports,
                           true)
                    .code
                == 0)
                return;
        }
        QFAIL("the simulator could not be reached after it was started again");
    }

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
    MidiDevice outDevice;
    MidiDevice inDevice;
};

QTEST_GUILESS_MAIN(TestJackEndToEnd)
#include "tst_JackEndToEnd.moc"
