// Exchanges with a device that has a direct link (a USB instrument): the link is taken only for
// the length of an exchange, nothing ever goes to such a device through its system port, the
// device keeps its number while its ports are gone, and the input capture follows the route.
#include "core/curve/CurveSysEx.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/IdleInputListener.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/SysExSender.h"
#include "core/panel/PanelSettings.h"
#include "core/transfer/DumpReceiver.h"
#include "core/transfer/TransferDriver.h"
#include "support/FakePorts.h"
#include "support/MidiDeviceText.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString usb = QStringLiteral("Zorvik K8:Zorvik K8 MIDI 1 24:0");
const QString other = QStringLiteral("Synth:Synth 28:0");

VelocityMap straightMap()
{
    VelocityMap map{};
    for (int v = 0; v < 128; ++v)
        map[std::size_t(v)] = v;
    return map;
}

QByteArray reply(int velocity)
{
    return QByteArray::fromHex("903c") + char(velocity);
}

} // namespace

class TestMidiExchange : public QObject
{
    Q_OBJECT

    std::shared_ptr<FakePorts::State> fake;
    std::unique_ptr<SimulatedMidi> midi;
    ScriptedPrompts prompts;

    // The instrument on USB is output 0 and input 1; another device follows it.
    void useInstrument() { midi->devices().choose(MidiDevice::system(0), MidiDevice::system(0)); }

private slots:
    void init()
    {
        fake = std::make_shared<FakePorts::State>();
        fake->outputs = {usb, other};
        fake->inputs = {usb, other};
        fake->routed = {usb};
        fake->hideWhileTaken = true;
        midi = std::make_unique<SimulatedMidi>(std::make_unique<FakePorts>(fake));
        prompts = ScriptedPrompts();
    }
    void cleanup() { midi.reset(); }

    void aMessageOnItsOwnTakesTheLinkForItselfOnly()
    {
        useInstrument();
        const std::vector<std::uint8_t> curve = CurveSysEx::build(straightMap());
        SysExSender sender(midi->ports(), midi->devices());
        QCOMPARE(sender.send(curve.data(), std::uint32_t(curve.size())), SendResult::Sent);
        QCOMPARE(sender.send(curve.data(), std::uint32_t(curve.size())), SendResult::Sent);
        QCOMPARE(fake->linkSent.size(), 2);
        QCOMPARE(fake->linkSent.first(), QByteArray(reinterpret_cast<const char *>(curve.data()), qsizetype(curve.size())));
        QVERIFY(fake->sent.isEmpty());   // never through the system port
        QCOMPARE(fake->takes, 2);
        QCOMPARE(fake->givebacks, 2);
        QVERIFY(!fake->taken);
        QCOMPARE(fake->outputs, (QStringList{usb, other}));   // given back: listed again
        // A device without a link goes through its port, as it always did.
        midi->devices().choose(MidiDevice::system(1), MidiDevice::system(1));
        QCOMPARE(sender.send(curve.data(), std::uint32_t(curve.size())), SendResult::Sent);
        QCOMPARE(fake->sent.size(), 1);
        QCOMPARE(fake->takes, 2);
    }

    // No permission, another program holds it: nothing goes out, and the reason reaches the user.
    void aLinkThatCannotBeTakenSendsNothing()
    {
        useInstrument();
        fake->takeError = QStringLiteral("no permission to use the USB device /dev/bus/usb/001/004");
        SysExSender sender(midi->ports(), midi->devices());
        QVERIFY(!CurveSysEx::send(sender, prompts, straightMap()));
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Open the device is err, please set device!\n\n") + fake->takeError);
        QVERIFY(fake->sent.isEmpty());
        QVERIFY(fake->linkSent.isEmpty());
        // Outside an exchange the device's system port is never opened for SysEx.
        QString why;
        QVERIFY(!midi->ports().output(MidiDevice::system(0), &why));
        QVERIFY2(why.contains(QStringLiteral("USB link")), qPrintable(why));
        QCOMPARE(fake->opens, 0);
    }

    void theDeviceKeepsItsNumberWhileTaken()
    {
        useInstrument();
        QString error;
        MidiExchange exchange = midi->ports().openExchange(MidiDevice::system(0), MidiDevice::system(0), &error);
        QVERIFY2(exchange.isOpen(), qPrintable(error));
        QVERIFY(midi->ports().exchangeOpen());
        QCOMPARE(fake->outputs, QStringList{other});   // the system's ports are gone meanwhile
        const auto outputs = midi->ports().outputs();
        QCOMPARE(outputs.size(), 3);
        QCOMPARE(outputs.at(1).name, usb);
        QCOMPARE(outputs.at(1).id, MidiDevice::system(0));
        QCOMPARE(outputs.at(2).name, other);
        QCOMPARE(outputs.at(2).id, MidiDevice::system(1));
        QCOMPARE(midi->ports().inputs().at(1).name, usb);
        QCOMPARE(midi->ports().directRoute(usb), QStringLiteral("USB link"));
        // The selection does not take the hidden ports for an unplug.
        midi->devices().followInstrument();
        QCOMPARE(midi->devices().output(), MidiDevice::system(0));
        QVERIFY(midi->devices().label().startsWith(usb));
        QVERIFY(midi->devices().label().endsWith(QStringLiteral("(USB link)")));
        QVERIFY(midi->devices().details().contains(QStringLiteral("SysEx through the USB link")));

        // Gone while taken: no longer listed, and what was kept fails.
        fake->linkGone = true;
        QCOMPARE(midi->ports().outputs().size(), 2);
        exchange.end();
        QCOMPARE(fake->givebacks, 1);
    }

    // The capture closes its system port before the link is taken, listens on the link meanwhile,
    // and is back on the system port after.
    void theCaptureFollowsTheRoute()
    {
        useInstrument();
        MidiInCapture &capture = midi->capture();
        QObject owner;
        QVERIFY(capture.open(&owner, MidiInCapture::Mode::ShortMessages));
        QVERIFY(fake->input);
        QSignalSpy heard(&capture, &MidiInCapture::shortMessage);
        QSignalSpy owners(&capture, &MidiInCapture::ownerChanged);
        {
            MidiExchange exchange = midi->ports().openExchange(MidiDevice::none(), MidiDevice::system(0));
            QVERIFY(exchange.isOpen());
            QVERIFY(!fake->input);
            QVERIFY(fake->linkInput);
            QVERIFY(capture.isOpenFor(&owner));
            fake->linkInput(reply(0x11));
            QTRY_COMPARE(heard.size(), 1);
        }
        QVERIFY(!fake->linkInput);
        QVERIFY(fake->input);
        QVERIFY(capture.isOpenFor(&owner));
        QCOMPARE(owners.size(), 0);   // unseen by the owner
        fake->input(reply(0x33));
        QTRY_COMPARE(heard.size(), 2);
        capture.close(&owner);
    }

    // A transfer is one exchange: one take for the announcement, every block and the replies.
    void aBlockTransferHoldsTheLinkFromStartToEnd()
    {
        useInstrument();
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        driver.open(FileKind::Firmware, QByteArray(2000, '\x55'));   // three blocks once packed
        driver.send();
        QCOMPARE(fake->takes, 1);
        QVERIFY(fake->linkInput);
        fake->linkInput(reply(0x11));
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY(fake->linkSent.size() == i + 1);
            fake->linkInput(reply(0x33));
        }
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(fake->linkSent.size(), 4);   // the announcement and three blocks
        QVERIFY(fake->sent.isEmpty());
        QCOMPARE(fake->takes, 1);
        QCOMPARE(fake->givebacks, 1);
        QVERIFY(!midi->ports().exchangeOpen());
    }

    void aTemplateToAnInstrumentThatCannotBeTakenFailsWithTheReason()
    {
        useInstrument();
        fake->takeError = QStringLiteral("the USB device /dev/bus/usb/001/004 (Zorvik K8) is in use by another program");
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy failed(&driver, &TransferDriver::failed);
        PanelSettings settings;
        driver.open(FileKind::Template, settings.buildTemplateSysEx());
        driver.send();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(driver.session().outcome().what, TransferOutcome::What::DeviceUnavailable);
        QCOMPARE(driver.session().outcome().failureText(), fake->takeError);
        QVERIFY(fake->sent.isEmpty());
        QVERIFY(fake->linkSent.isEmpty());
    }

    void aDumpComesOverTheLink()
    {
        useInstrument();
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy received(&receiver, &DumpReceiver::received);
        QVERIFY(receiver.listen());
        QCOMPARE(fake->takes, 1);
        const QByteArray dump = PanelSettings().buildTemplateSysEx();
        fake->linkInput(dump.left(40));   // in pieces, 0x89 and all
        fake->linkInput(dump.mid(40));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(receiver.dump(), dump);
        QCOMPARE(fake->givebacks, 1);
    }

    // The live panel's listening gives way for the exchange and comes back after it.
    void theIdleListenerComesBackAfterAnExchange()
    {
        useInstrument();
        IdleInputListener listener(midi->capture(), midi->devices());
        listener.setEnabled(true);
        QTRY_VERIFY(fake->input);
        {
            SysExSender sender(midi->ports(), midi->devices());
            const std::vector<std::uint8_t> curve = CurveSysEx::build(straightMap());
            QCOMPARE(sender.send(curve.data(), std::uint32_t(curve.size())), SendResult::Sent);
        }
        QTRY_VERIFY(fake->input);
        QVERIFY(listener.isListening());
    }

    // Where the back end can answer on its own thread, each block leaves as its request arrives,
    // before the request reaches the session; the session counts it and sends it once only.
    // A request that does not match (garbled) answers nothing.
    void blocksLeaveAsTheirRequestArrives()
    {
        fake->routed.clear();
        fake->quickAnswers = true;
        midi->devices().choose(MidiDevice::system(1), MidiDevice::system(1));   // the device without a link
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy finished(&driver, &TransferDriver::finished);
        const QByteArray image(2000, '\x41');   // three blocks once packed
        driver.open(FileKind::Firmware, image);
        driver.send();
        QCOMPARE(fake->sent.size(), 1);   // the announcement
        fake->arrive(reply(0x11));
        QTRY_VERIFY(!fake->armedTrigger.isEmpty() && fake->armedAnswer);
        fake->arrive(reply(0x34));        // garbled: nothing leaves
        QCOMPARE(fake->sent.size(), 1);
        for (int block = 0; block < 3; ++block) {
            QTRY_VERIFY(fake->armedAnswer && !fake->answerRan);
            fake->arrive(reply(0x33));
            QCOMPARE(fake->sent.size(), 2 + block);   // at once, on the input's side
        }
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(fake->sent.size(), 4);
        QCOMPARE(fake->quickSends, 3);
        QCOMPARE(driver.session().blocksSent(), 3);
        // What left is what the ordinary path sends, block for block.
        for (int block = 0; block < 3; ++block)
            QCOMPARE(quint8(fake->sent.at(1 + block).at(11)), quint8(block));
    }
};

QTEST_GUILESS_MAIN(TestMidiExchange)
#include "tst_MidiExchange.moc"
