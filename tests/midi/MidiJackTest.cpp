// End to end over a real MIDI transport: a private JACK server with the dummy driver, the
// zorvik-sim program on its virtual ports, and the program's own send and capture, and the
// instrument found among the server's ports.
#include "app/DeviceChoice.h"
#include "app/ScriptedPrompts.h"
#include "midi/DeviceSelection.h"
#include "midi/MidiInCapture.h"
#include "midi/MidiOutSession.h"
#include "midi/MidiShortEvent.h"
#include "midi/MidiSystem.h"
#include "midi/RtMidiBackend.h"
#include "midi/SevenBitCodec.h"
#include "midi/TransferHeader.h"
#include "support/InstrumentMessage.h"
#include "panel/PanelSettings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

QByteArray message(std::uint8_t command, std::uint8_t number, int count, const QByteArray &payload = {})
{
    return instrumentMessage(command, number, count, payload);
}

class Listener : public QObject
{
public:
    explicit Listener(MidiInCapture &capture) : capture(capture) {}
    QList<std::uint32_t> shorts;
    QList<QByteArray> dumps;
    std::function<void(std::uint32_t)> onShort;

protected:
    void customEvent(QEvent *event) override
    {
        if (event->type() == MidiShortEvent::eventType()) {
            shorts.append(static_cast<MidiShortEvent *>(event)->value);
            if (onShort)
                onShort(shorts.last());
        } else if (event->type() == MidiLongDataEvent::eventType()) {
            auto *header = static_cast<MidiLongDataEvent *>(event)->header;
            if (const auto count = capture.takeDump(header)) {
                dumps.append(QByteArray(reinterpret_cast<const char *>(capture.ReceivedDump.data()), *count));
                capture.Requeue(header);
                capture.Close();
            }
        }
    }

private:
    MidiInCapture &capture;
};

} // namespace

class MidiJackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
        if (jackd.isEmpty())
            QSKIP("jackd is not installed (Debian package jackd2)");
        // A private server name, so a JACK server of the machine is never touched. It is fixed per
        // build tree: JACK keeps a registry entry for every name that ever ran (eight at most).
        serverName = QStringLiteral("zorvik-test-%1").arg(qHash(QCoreApplication::applicationFilePath()) % 10000);
        qputenv("JACK_DEFAULT_SERVER", serverName.toUtf8());
        qputenv("JACK_NO_AUDIO_RESERVATION", "1");
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(jackd, {QStringLiteral("-n"), serverName, QStringLiteral("-d"), QStringLiteral("dummy"),
                             QStringLiteral("-r"), QStringLiteral("48000"), QStringLiteral("-p"), QStringLiteral("512")});
        if (!server.waitForStarted(5000))
            QSKIP("jackd could not be started");

        if (!startSimulator()) {
            if (server.state() != QProcess::Running)
                QSKIP(qPrintable(QStringLiteral("jackd ended: ") + QString::fromLocal8Bit(server.readAll()).simplified()));
            QSKIP("the JACK server did not become ready within 10 s");
        }

        midi = std::make_unique<MidiSystem>(std::make_unique<RtMidiBackend>(RtMidi::UNIX_JACK));
        for (const auto &d : midi->outputs())
            if (d.number >= 0 && d.name.contains(QStringLiteral("Zorvik Simulator")))
                outDevice = d.number;
        for (const auto &d : midi->inputs())
            if (d.number >= 1 && d.name.contains(QStringLiteral("Zorvik Simulator")))
                inDevice = d.number;
        QVERIFY2(outDevice >= 0 && inDevice >= 1, "the simulator's JACK ports are not listed");
    }

    void cleanupTestCase()
    {
        midi.reset();
        stop(sim);
        stop(server);
    }

    void templateAndBlockTransferArriveExactly()
    {
        DeviceChoice::midiOut = outDevice;
        DeviceChoice::midiIn = inDevice;
        ScriptedPrompts prompts;
        MidiOutSession session(*midi, prompts);
        QList<QByteArray> sentMessages;
        auto send = [&](const QByteArray &m) {
            sentMessages.append(m);
            return session.Send(reinterpret_cast<const std::uint8_t *>(m.constData()), quint32(m.size()),
                                MidiOutSession::Caller::TransferBlocks);
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
        Listener listener(midi->capture());
        int next = 0;
        listener.onShort = [&](std::uint32_t value) {
            if (value == 0x333C90 && next < 2) {
                QCOMPARE(send(message(TransferHeader::DataBlock, 7, next, packed.mid(next * 1024, 1024))),
                         SendResult::Sent);
                ++next;
            }
        };
        QCOMPARE(midi->capture().Open(&listener, MidiInCapture::Mode::ShortMessages,
                                      MidiInCapture::Caller::TransferDialog, prompts),
                 MidiInCapture::OpenOk);
        QCOMPARE(send(message(TransferHeader::SongAnnouncement, 7, 2)), SendResult::Sent);
        QVERIFY(waitForLine(QStringLiteral("log transfer complete: song number 7, 1500 bytes"), 5000));
        midi->capture().Close();

        QCOMPARE(listener.shorts, (QList<std::uint32_t>{0x113C90, 0x333C90, 0x333C90}));
        QCOMPARE(received, sentMessages);
        QVERIFY(prompts.asked.isEmpty());

        // And the other way: the simulator's dump of the template it now holds.
        QCOMPARE(midi->capture().Open(&listener, MidiInCapture::Mode::SysExDump,
                                      MidiInCapture::Caller::ReceiveDialog, prompts),
                 MidiInCapture::OpenOk);
        sim.write("dump\n");
        QTRY_COMPARE_WITH_TIMEOUT(listener.dumps.size(), 1, 5000);
        templ[9] = char(TransferHeader::noNumber);
        QCOMPARE(listener.dumps.at(0), templ);
    }

    // The command line over the same transport: a firmware image lands byte for byte, and a
    // received dump is saved exactly.
    void commandLineTransfersOverJack()
    {
        QTemporaryDir dir;
        QByteArray firmware(300 * 1024, Qt::Uninitialized);
        for (int i = 0; i < firmware.size(); ++i)
            firmware[i] = char((i * 31) ^ (i >> 8));
        const QString image = dir.filePath(QStringLiteral("update.bin"));
        {
            QFile file(image);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(firmware);
        }
        const QStringList ports{QStringLiteral("--jack"), QStringLiteral("--out"), QStringLiteral("Zorvik Simulator"),
                                QStringLiteral("--in"), QStringLiteral("Zorvik Simulator")};
        QCOMPARE(runControl(QStringList{QStringLiteral("send"), image} + ports), 0);
        sim.write("status\n");
        const QString status = readUntil(QStringLiteral("status "), 5000);
        QVERIFY2(status.contains(QStringLiteral(" complete 307200 bytes")), qPrintable(status));
        QVERIFY2(status.endsWith(QString::fromLatin1(QCryptographicHash::hash(firmware, QCryptographicHash::Sha1).toHex())),
                 qPrintable(status));

        const QString dump = dir.filePath(QStringLiteral("dump.syx"));
        QCOMPARE(runControl(QStringList{QStringLiteral("receive"), dump, QStringLiteral("--timeout"), QStringLiteral("10")}
                                + ports,
                            true),
                 0);
        QFile saved(dump);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        PanelSettings panel;
        QByteArray expected = panel.buildTemplateSysEx();
        QCOMPARE(saved.readAll().mid(13), expected.mid(13));   // the frame's number is the simulator's
    }

    // zorvik-sim started in the background with no input is the instrument while it runs: the
    // default devices follow it out and in again, and a send reaches it without a restart.
    void backgroundSimulatorIsTheInstrument()
    {
        stop(sim);   // the test's own simulator would be found first
        DeviceSelection &devices = midi->devices();
        devices.followInstrument();
        devices.startWatching();
        QTRY_COMPARE_WITH_TIMEOUT(DeviceChoice::midiOut, int(MidiSystem::simulatorOutput), 10000);
        QCOMPARE(devices.label(), DeviceSelection::noInstrumentText);

        QProcess background;
        background.setStandardInputFile(QProcess::nullDevice());
        background.start(QStringLiteral(ZORVIK_SIM_PATH), {QStringLiteral("--jack")});
        QVERIFY(background.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(DeviceChoice::midiOut >= 0 && DeviceChoice::midiIn >= 1, 10000);
        QVERIFY2(devices.label().startsWith(QStringLiteral("zorvik-sim")), qPrintable(devices.label()));
        QVERIFY(devices.systemOutputInUse());

        ScriptedPrompts prompts;
        MidiOutSession session(*midi, prompts);
        PanelSettings panel;
        panel.storeDefaultBoxes();
        const QByteArray templ = panel.buildTemplateSysEx();
        const auto send = [&] {
            return session.Send(reinterpret_cast<const std::uint8_t *>(templ.constData()), quint32(templ.size()),
                                MidiOutSession::Caller::TransferTemplate);
        };
        QCOMPARE(send(), SendResult::Sent);
        const QByteArray heard = "recv " + templ.toHex(' ').toUpper();
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += background.readAllStandardOutput()).contains(heard), 5000);
        QCOMPARE(background.state(), QProcess::Running);   // the end of its input did not end it

        stop(background);
        QTRY_COMPARE_WITH_TIMEOUT(DeviceChoice::midiOut, int(MidiSystem::simulatorOutput), 10000);
        QCOMPARE(DeviceChoice::midiIn, int(MidiSystem::simulatorInput));
        QCOMPARE(devices.label(), DeviceSelection::noInstrumentText);

        QVERIFY(startSimulator());
        QTRY_VERIFY_WITH_TIMEOUT(DeviceChoice::midiOut >= 0 && DeviceChoice::midiIn >= 1, 10000);
        devices.stopWatching();
        outDevice = DeviceChoice::midiOut;
        inDevice = DeviceChoice::midiIn;
        received.clear();
        QCOMPARE(send(), SendResult::Sent);
        QElapsedTimer clock;
        clock.start();
        while (!received.contains(templ) && clock.elapsed() < 5000)
            waitForLine(QString(), 50);   // collects what the simulator received
        QVERIFY(received.contains(templ));
        QVERIFY(prompts.asked.isEmpty());
    }

    // Last: a frozen server stalls RtMidi's send for good, and the send must give up in time.
    void stalledServerBoundsTheWait()
    {
        DeviceChoice::midiOut = outDevice;
        ScriptedPrompts prompts;
        MidiOutSession session(*midi, prompts);
        const QByteArray block = message(TransferHeader::DataBlock, 1, 0, QByteArray(1024, 0x21));
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(block.constData());
        QCOMPARE(session.Send(bytes, 1038, MidiOutSession::Caller::TransferBlocks), SendResult::Sent);

        ::kill(pid_t(server.processId()), SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        SendResult result = SendResult::Sent;
        int sent = 0;
        while (result == SendResult::Sent && sent < 100) {   // RtMidi's ring holds about 15 blocks
            result = session.Send(bytes, 1038, MidiOutSession::Caller::TransferBlocks);
            ++sent;
        }
        const qint64 waited = clock.elapsed();
        ::kill(pid_t(server.processId()), SIGCONT);

        QCOMPARE(result, SendResult::MessageRefused);
        QVERIFY2(waited < MidiOutSession::waitLimit(1038).count() + 1500, qPrintable(QString::number(waited)));
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.at(0).text, QStringLiteral("Send the longMSG is err!"));
    }

private:
    // Starts the test's own simulator; it fails while the server is still coming up, so it is
    // tried until it is ready.
    bool startSimulator()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (server.state() != QProcess::Running)
                return false;
            sim.start(QStringLiteral(ZORVIK_SIM_PATH), {QStringLiteral("--jack")});
            if (sim.waitForStarted(3000) && waitForLine(QStringLiteral("ready"), 3000))
                return true;
            sim.kill();
            sim.waitForFinished(1000);
            QTest::qWait(200);
        }
        return false;
    }

    // Runs zorvikctl against the simulator, draining the simulator's output meanwhile so it never
    // blocks on a full pipe; with askForDump the simulator is told to send its dump until the
    // command has one.
    int runControl(const QStringList &arguments, bool askForDump = false)
    {
        QProcess control;
        control.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        control.start(QStringLiteral(ZORVIK_CTL_PATH), arguments);
        if (!control.waitForStarted(5000))
            return -1;
        QElapsedTimer clock;
        clock.start();
        qint64 lastDump = -1000;
        while (control.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
            if (askForDump && clock.elapsed() - lastDump > 500) {
                sim.write("dump\n");
                lastDump = clock.elapsed();
            }
            sim.waitForReadyRead(5);
            sim.readAll();
            control.waitForFinished(5);
        }
        if (control.state() != QProcess::NotRunning) {
            control.kill();
            control.waitForFinished(3000);
            return -2;
        }
        return control.exitStatus() == QProcess::NormalExit ? control.exitCode() : -3;
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

    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process.processId()), SIGCONT);   // in case a test left it frozen
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    QString serverName;
    QProcess server;
    QProcess sim;
    QList<QByteArray> received;
    std::unique_ptr<MidiSystem> midi;
    int outDevice = -1;
    int inDevice = -1;
};

QTEST_GUILESS_MAIN(MidiJackTest)
#include "MidiJackTest.moc"
