// Faults on the MIDI side of a transfer, driven through TransferDriver and DumpReceiver with the
// built-in simulator: an instrument that goes silent at each step, garbled replies, an output
// device that disappears mid-send, and input flooded with SysEx. The transfer ends with a clear
// status instead of hanging or claiming success, and the input is closed afterwards.
#include "core/midi/DeviceLock.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/transfer/DumpReceiver.h"
#include "core/transfer/TransferDriver.h"
#include "support/MidiDeviceText.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int timeoutMs = 300;
constexpr int imageSize = 4000;   // packs to 4572 bytes: five blocks, the last one short

QByteArray image()
{
    QByteArray bytes(imageSize, Qt::Uninitialized);
    for (int i = 0; i < imageSize; ++i)
        bytes[i] = char((i * 37 + i / 11) & 0xFF);
    return bytes;
}

// One system output that hands what it takes to the simulator, until it is unplugged after a
// given number of messages: then it refuses, and it is gone from the device list.
class VanishingOutput : public MidiPortBackend
{
public:
    struct State
    {
        InstrumentSimulator *simulator = nullptr;
        int messagesBeforeGone = -1;
        int goneAfter = -1;   // unplugged right after taking this many messages
        int delivered = 0;
        bool gone = false;
    };

    explicit VanishingOutput(std::shared_ptr<State> sharedState) : state(std::move(sharedState)) {}

    QStringList outputNames() override
    {
        return state->gone ? QStringList() : QStringList{QStringLiteral("Vanishing")};
    }
    QStringList inputNames() override { return {}; }
    std::unique_ptr<MidiOutputPort> openOutput(int index, QString *) override
    {
        if (index != 0 || state->gone)
            return nullptr;
        return std::make_unique<Output>(state);
    }
    std::unique_ptr<MidiInputPort> openInput(int, MidiInputPort::Receiver, QString *) override { return nullptr; }

private:
    class Output : public MidiOutputPort
    {
    public:
        explicit Output(std::shared_ptr<State> sharedState) : state(std::move(sharedState)) {}
        Delivery send(const std::uint8_t *bytes, std::size_t length, std::chrono::milliseconds) override
        {
            if (state->delivered == state->messagesBeforeGone)
                state->gone = true;
            if (state->gone)
                return Delivery::Refused;
            ++state->delivered;
            state->gone = state->delivered == state->goneAfter;
            if (!state->gone)
                state->simulator->receive(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length)));
            return Delivery::Delivered;
        }
        std::size_t maxMessageLength() const override { return 4096; }
        QString name() const override { return QStringLiteral("Vanishing"); }

    private:
        std::shared_ptr<State> state;
    };

    std::shared_ptr<State> state;
};

} // namespace

class TestBadInputTransfer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir runtime;
    std::unique_ptr<SimulatedMidi> midi;
    std::shared_ptr<VanishingOutput::State> output;

    // Runs one block transfer and waits for it to end one way or the other.
    void runTransfer(TransferDriver &driver, QSignalSpy &finished, QSignalSpy &timedOut)
    {
        QSignalSpy failed(&driver, &TransferDriver::failed);
        driver.open(FileKind::Song, image());
        driver.session().setReplyTimeout(timeoutMs);
        driver.send();
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() + timedOut.count() + failed.count() > 0, 10000);
        QVERIFY(!driver.busy());
        QVERIFY(!midi->capture().isOpen());
    }

    void expectTimedOut(TransferDriver &driver, QSignalSpy &finished, QSignalSpy &timedOut)
    {
        QCOMPARE(timedOut.count(), 1);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::TimedOut);
        QCOMPARE(driver.session().state(), TransferSession::State::Ready);
        QVERIFY(!midi->simulator().lastTransfer().complete);
    }

private slots:
    void initTestCase()
    {
        // Device locks of this test in a folder of their own.
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    }
    void init()
    {
        output = std::make_shared<VanishingOutput::State>();
        midi = std::make_unique<SimulatedMidi>(std::make_unique<VanishingOutput>(output));
        output->simulator = &midi->simulator();
    }
    void cleanup() { midi.reset(); }

    // Silent before "ready", after "ready", and after each block but the last.
    void silentAtEachStep_data()
    {
        QTest::addColumn<int>("dropReply");
        QTest::addColumn<int>("stopAfterBlock");
        QTest::newRow("never ready") << 1 << -1;
        QTest::newRow("ready, then nothing") << 2 << -1;
        for (int block = 0; block < 4; ++block)
            QTest::addRow("silent after block %d", block + 1) << -1 << block + 1;
    }
    void silentAtEachStep()
    {
        QFETCH(int, dropReply);
        QFETCH(int, stopAfterBlock);
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy timedOut(&driver, &TransferDriver::timedOut);
        midi->simulator().faults.dropReply = dropReply;
        midi->simulator().faults.stopAfterBlock = stopAfterBlock;
        runTransfer(driver, finished, timedOut);
        expectTimedOut(driver, finished, timedOut);
        QVERIFY(prompts.asked.isEmpty());   // the status line says it; no box
        if (stopAfterBlock > 0)
            QCOMPARE(driver.session().blocksSent(), stopAfterBlock);

        // The instrument is back: the same image goes through on the next Send.
        midi->simulator().faults = {};
        finished.clear();
        timedOut.clear();
        driver.send();
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 10000);
        QCOMPARE(midi->simulator().lastTransfer().image, image());
    }

    // A reply with the wrong velocity is not taken for "ready" or "next".
    void garbledReplies_data()
    {
        QTest::addColumn<int>("garbleReply");
        for (int reply = 1; reply <= 6; ++reply)
            QTest::addRow("reply %d", reply) << reply;
    }
    void garbledReplies()
    {
        QFETCH(int, garbleReply);
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy timedOut(&driver, &TransferDriver::timedOut);
        midi->simulator().faults.garbleReply = garbleReply;
        runTransfer(driver, finished, timedOut);
        expectTimedOut(driver, finished, timedOut);
    }

    // The instrument sends a SysEx that lacks its F7, then its reply as a message of its own:
    // the reply still counts, and the transfer goes through.
    void unfinishedSysExBeforeAReply_data()
    {
        QTest::addColumn<int>("reply");
        QTest::newRow("before ready") << 1;
        QTest::newRow("before the first request") << 2;
        QTest::newRow("before the third request") << 4;
    }
    void unfinishedSysExBeforeAReply()
    {
        QFETCH(int, reply);
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy timedOut(&driver, &TransferDriver::timedOut);
        midi->simulator().faults.unfinishedSysEx = reply;
        runTransfer(driver, finished, timedOut);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(midi->simulator().lastTransfer().image, image());
    }

    // The output device is unplugged after the announcement and some blocks: the user is told the
    // message could not be sent, the instrument (missing a block) stops asking, and the wait ends.
    void deviceGoneMidSend_data()
    {
        QTest::addColumn<int>("messagesBeforeGone");
        QTest::newRow("before the first block") << 1;
        QTest::newRow("before the third block") << 3;
        QTest::newRow("before the fourth block") << 4;
    }
    void deviceGoneMidSend()
    {
        QFETCH(int, messagesBeforeGone);
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());   // the system's first output
        output->messagesBeforeGone = messagesBeforeGone;
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy timedOut(&driver, &TransferDriver::timedOut);
        runTransfer(driver, finished, timedOut);
        // The block that did not get through stops the transfer at once: no hole in the image.
        QCOMPARE(finished.count() + timedOut.count(), 0);
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::BlockFailed);
        QCOMPARE(driver.session().outcome().block, messagesBeforeGone - 1);
        QCOMPARE(driver.session().state(), TransferSession::State::Ready);
        QVERIFY(!midi->simulator().lastTransfer().complete);
        QVERIFY(!prompts.asked.isEmpty());
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Send the longMSG is err!"));
        QCOMPARE(prompts.asked.first().caption, QString());
        QCOMPARE(output->delivered, messagesBeforeGone);

        // Send again with the device still gone: told at once, nothing hangs.
        prompts.asked.clear();
        finished.clear();
        timedOut.clear();
        runTransfer(driver, finished, timedOut);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("There are no MIDI output devices!"));
        QCOMPARE(prompts.asked.first().caption, QStringLiteral("Zorvik Updata"));
    }

    // The instrument asks for the last block and is unplugged while it is on its way. It never
    // acknowledges the last block, so only the device itself can tell: it is gone, and the
    // transfer (or a template send, which is not acknowledged either) is not a success.
    void deviceGoneWithTheLastMessage()
    {
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        output->goneAfter = 6;   // the announcement and five blocks
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy timedOut(&driver, &TransferDriver::timedOut);
        runTransfer(driver, finished, timedOut);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::BlockFailed);
        QCOMPARE(driver.session().outcome().block, 4);
        QCOMPARE(driver.session().state(), TransferSession::State::Ready);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Send the longMSG is err!"));

        output->gone = false;
        output->delivered = 0;
        output->goneAfter = 1;
        prompts.asked.clear();
        QFile golden(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        driver.open(FileKind::Template, golden.readAll());
        driver.send();
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::TemplateFailed);
        QVERIFY(!driver.session().delivered());
        QCOMPARE(driver.session().progressValue(), 0);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Send the longMSG is err!"));
        QCOMPARE(prompts.asked.first().caption, QStringLiteral("Zorvik Updata"));
    }

    // Another transfer holds the device: Send waits for it with the event loop running; it
    // gives up saying why when the device stays busy for the timeout, and goes through when it
    // comes free in time.
    void busyDeviceIsWaitedFor()
    {
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        DeviceLock other(midi->ports().systemPorts().place() + QLatin1Char('\n') + QStringLiteral("Vanishing"));
        QVERIFY(other.tryAcquire());
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy failed(&driver, &TransferDriver::failed);
        driver.open(FileKind::Song, image());
        driver.session().setReplyTimeout(timeoutMs);
        driver.send();
        QVERIFY(driver.busy());
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::WaitingForDevice);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::DeviceUnavailable);
        QCOMPARE(driver.session().outcome().failureText(), QStringLiteral("the device is busy with another transfer"));
        QVERIFY(!driver.busy());
        QCOMPARE(output->delivered, 0);
        QVERIFY(!midi->capture().isOpen());

        driver.session().setReplyTimeout(10000);
        driver.send();
        QVERIFY(driver.busy());
        QTest::qWait(100);
        other.release();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(midi->simulator().lastTransfer().image, image());
        QVERIFY(other.tryAcquire());   // the transfer let the device go
    }

    // Foreign SysEx pours in while a transfer waits for its replies: the replies still get
    // through and the image arrives whole.
    void sysExFloodDuringTransfer()
    {
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        QSignalSpy timedOut(&driver, &TransferDriver::timedOut);
        midi->simulator().faults.replyDelayMs = 20;
        driver.open(FileKind::Song, image());
        driver.send();
        const QByteArray flood = char(0xF0) + QByteArray(1000, '\x15') + char(0xF7);
        for (int i = 0; i < 3000; ++i)
            emit midi->simulator().reply(flood);
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() + timedOut.count() > 0, 20000);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(midi->simulator().lastTransfer().image, image());
        QVERIFY(!midi->capture().isOpen());
    }

    // The receive side under a flood of foreign SysEx, a SysEx far longer than any dump and
    // stray bytes: none of it is taken for a dump, and the real dump that follows is.
    void sysExFloodWhileReceiving()
    {
        ScriptedPrompts prompts;
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy received(&receiver, &DumpReceiver::received);
        QVERIFY(receiver.listen());
        QElapsedTimer clock;
        clock.start();
        const QByteArray foreign = QByteArray::fromHex("f0002063000100") + char(0x05) + QByteArray(300, '\x01') + char(0xF7);
        for (int i = 0; i < 5000; ++i)
            emit midi->simulator().reply(foreign);
        emit midi->simulator().reply(char(0xF0) + QByteArray(1024 * 1024, '\x02'));   // never ends
        emit midi->simulator().reply(QByteArray(5000, '\x7E'));
        midi->simulator().sendDump();
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 20000);
        QVERIFY2(clock.elapsed() < 15000, "a flood must not stall the receive side");
        QCOMPARE(receiver.dump().size(), 162);
        QCOMPARE(quint8(receiver.dump().at(7)), quint8(0x03));
        QVERIFY(!midi->capture().isOpen());
    }

    // No MIDI devices at all: the input cannot be opened, the user is told, nothing is sent.
    void noMidiDevices()
    {
        midi->devices().use(MidiDevice::system(5), MidiDevice::system(4));
        ScriptedPrompts prompts;
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy closeRequested(&driver, &TransferDriver::closeRequested);
        driver.open(FileKind::Firmware, image());
        driver.send();
        QCOMPARE(closeRequested.count(), 1);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("There are no MIDI input devices!"));
        QVERIFY(midi->simulator().received().isEmpty());
        QVERIFY(!midi->capture().isOpen());
    }
};

QTEST_GUILESS_MAIN(TestBadInputTransfer)
#include "tst_BadInputTransfer.moc"
