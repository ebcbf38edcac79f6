// Sending one message to the output in use, and what its callers say when it cannot go.
#include "core/curve/CurveSysEx.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/SysExSender.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/transfer/TransferDriver.h"
#include "support/FakeMidiRig.h"
#include "support/InputListener.h"
#include "support/InstrumentMessage.h"

#include <QTest>

class TestSysExSender : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    void sendReachesSimulatorWholeAndRepliesComeLater()
    {
        InputListener listener(midi->capture());
        QVERIFY(listener.open());
        PanelSettings panel;
        panel.storeDefaultBoxes();
        QByteArray templ = panel.buildTemplateSysEx();
        templ[9] = 3;
        SysExSender sender(midi->ports(), midi->devices());
        QCOMPARE(sender.send(bytesOf(templ), quint32(templ.size())), SendResult::Sent);
        QCOMPARE(midi->simulator().templateMemory(3), templ);

        const QByteArray announce = instrumentMessage(TransferHeader::SongAnnouncement, 5, 0);
        QCOMPARE(announce.size(), 14);
        QCOMPARE(sender.send(bytesOf(announce), 14), SendResult::Sent);
        QVERIFY(listener.shorts.isEmpty());   // never inside the send
        settle();
        QCOMPARE(listener.shorts, (QList<std::uint32_t>{0x113C90}));
        QVERIFY(prompts.asked.isEmpty());
    }

    // The sender only says what happened; each caller tells the user in its own words, once
    // for every message that could not go.
    void missingOutputDevice_data()
    {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::newRow("curve") << "curve" << "Open the device is err, please set device!" << "";
        QTest::newRow("template") << "template" << "There are no MIDI output devices!" << "Zorvik Updata";
        QTest::newRow("blocks") << "blocks" << "There are no MIDI output devices!" << "Zorvik Updata";
    }

    void missingOutputDevice()
    {
        QFETCH(QString, caller);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        const QByteArray m = instrumentMessage(TransferHeader::VelocityCurve, 0x18, 1);
        SysExSender sender(midi->ports(), midi->devices());
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        PanelSettings panel;
        panel.storeDefaultBoxes();
        const QList<MidiDevice> missing{MidiDevice::system(2), MidiDevice::system(99), MidiDevice::none()};
        for (MidiDevice device : missing) {
            midi->devices().use(device, MidiDevice::builtIn());
            QCOMPARE(sender.send(bytesOf(m), quint32(m.size())), SendResult::DeviceNotOpened);
        }
        QVERIFY(prompts.asked.isEmpty());
        for (MidiDevice device : missing) {
            midi->devices().use(device, MidiDevice::builtIn());
            if (caller == QLatin1String("curve")) {
                QVERIFY(!CurveSysEx::send(sender, prompts, VelocityMap{}));
            } else if (caller == QLatin1String("template")) {
                driver.open(FileKind::Template, panel.buildTemplateSysEx());
                driver.send();
            } else {
                driver.open(FileKind::Firmware, QByteArray(100, 0x21));
                driver.send();   // the announcement cannot go
                driver.abort();
            }
        }
        QCOMPARE(fake->opens, 0);
        QCOMPARE(prompts.asked.size(), 3);
        QCOMPARE(prompts.asked.first().text, text);
        QCOMPARE(prompts.asked.first().caption, caption);
    }

    void refusedSendClosesAndNextOpensAgain_data()
    {
        QTest::addColumn<int>("delivery");
        QTest::newRow("refused") << int(MidiOutputPort::Delivery::Refused);
        QTest::newRow("timed out") << int(MidiOutputPort::Delivery::TimedOut);
    }

    void refusedSendClosesAndNextOpensAgain()
    {
        QFETCH(int, delivery);
        const QByteArray m = instrumentMessage(TransferHeader::FirmwareAnnouncement, 0x18, 3);
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        fake->next = MidiOutputPort::Delivery(delivery);
        QCOMPARE(sender.send(bytesOf(m), 14), SendResult::MessageRefused);
        QCOMPARE(fake->openOutputs, 0);
        QCOMPARE(sender.send(bytesOf(m), 14), SendResult::Sent);
        QCOMPARE(fake->opens, 2);
        QCOMPARE(fake->sent, QList<QByteArray>{m});
        QVERIFY(prompts.asked.isEmpty());

        // The callers tell it: a curve, a template, a block transfer's message.
        fake->next = MidiOutputPort::Delivery(delivery);
        QVERIFY(!CurveSysEx::send(sender, prompts, VelocityMap{}));
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        PanelSettings panel;
        panel.storeDefaultBoxes();
        fake->next = MidiOutputPort::Delivery(delivery);
        driver.open(FileKind::Template, panel.buildTemplateSysEx());
        driver.send();
        fake->next = MidiOutputPort::Delivery(delivery);
        driver.open(FileKind::Firmware, QByteArray(100, 0x21));
        driver.send();
        driver.abort();
        QCOMPARE(fake->sent.size(), 1);
        QCOMPARE(prompts.asked.size(), 3);
        for (const auto &prompt : prompts.asked)
            QCOMPARE(prompt.text, QStringLiteral("Send the longMSG is err!"));
        QCOMPARE(prompts.asked.at(0).caption, QString());
        QCOMPARE(prompts.asked.at(1).caption, QStringLiteral("Zorvik Updata"));
        QCOMPARE(prompts.asked.at(2).caption, QString());
    }

    void messageTheDeviceCannotTakeIsNotSent()
    {
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        const QByteArray big = instrumentMessage(TransferHeader::TemplateImage, 1, 1, QByteArray(5000, 0));
        QCOMPARE(sender.send(bytesOf(big), quint32(big.size())),
                 SendResult::HeaderNotPrepared);
        QCOMPARE(sender.send(nullptr, 0), SendResult::HeaderNotPrepared);
        QVERIFY(fake->sent.isEmpty());
        QCOMPARE(fake->openOutputs, 0);
        QVERIFY(prompts.asked.isEmpty());
        QVERIFY(SysExSender::waitLimit(1038) >= std::chrono::milliseconds(1000 + 332));
    }

    void blockTransferPacedBySimulatorReplies_data()
    {
        QTest::addColumn<int>("imageLength");
        QTest::addColumn<int>("stopAfter");
        QTest::newRow("three blocks") << 2500 << -1;
        QTest::newRow("exact blocks") << 1792 << -1;   // packs to 2048
        QTest::newRow("device stops") << 5000 << 2;
    }

    void blockTransferPacedBySimulatorReplies()
    {
        QFETCH(int, imageLength);
        QFETCH(int, stopAfter);
        midi->simulator().faults.stopAfterBlock = stopAfter;
        midi->simulator().faults.replyDelayMs = 2;
        QByteArray image(imageLength, 0);
        for (int i = 0; i < imageLength; ++i)
            image[i] = char(i * 7 + 3);
        const QByteArray packed = SevenBitCodec::Pack(image);
        const int blocks = int((packed.size() + 1023) / 1024);

        SysExSender sender(midi->ports(), midi->devices());
        InputListener listener(midi->capture());
        int next = 0;
        listener.onShort = [&](std::uint32_t value) {
            if (value != 0x333C90 || next >= blocks)
                return;
            const QByteArray block = instrumentMessage(TransferHeader::DataBlock, 4, next, packed.mid(next * 1024, 1024));
            QCOMPARE(sender.send(bytesOf(block), quint32(block.size())),
                     SendResult::Sent);
            ++next;
        };
        QVERIFY(listener.open());
        const QByteArray announce = instrumentMessage(TransferHeader::FirmwareAnnouncement, 0x18, blocks);
        QCOMPARE(sender.send(bytesOf(announce), 14), SendResult::Sent);

        const auto &t = midi->simulator().lastTransfer();
        if (stopAfter < 0) {
            QTRY_VERIFY_WITH_TIMEOUT(t.complete, 3000);
            QCOMPARE(t.image, image);
            QCOMPARE(t.command, std::uint8_t(0x04));
            QCOMPARE(listener.shorts.size(), blocks + 1);   // ready, then one request per block
            QCOMPARE(listener.shorts.first(), std::uint32_t(0x113C90));
        } else {
            QTest::qWait(100);
            QCOMPARE(t.blocksReceived, stopAfter);
            QVERIFY(!t.complete);
        }
        QVERIFY(prompts.asked.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSysExSender)
#include "tst_SysExSender.moc"
