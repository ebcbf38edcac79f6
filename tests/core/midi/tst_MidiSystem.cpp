// The registry's kept output: opened once, followed by its name, closed when it goes.
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"
#include "core/midi/SysExSender.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/InstrumentSimulator.h"
#include "support/FakeMidiRig.h"
#include "support/InstrumentMessage.h"

#include <QTest>

class TestMidiSystem : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    void keptConnectionFollowsTheChoice()
    {
        const QByteArray m = instrumentMessage(TransferHeader::DataBlock, 1, 0, QByteArray(1024, 0x55));
        QCOMPARE(m.size(), 1038);
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(1), MidiDevice::builtIn());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(sender.send(bytesOf(m), 1038), SendResult::Sent);
        QCOMPARE(fake->opens, 1);
        QCOMPARE(fake->sent.size(), 3);
        QCOMPARE(fake->sent.at(2), m);

        // Read at the moment of the call: the simulator now.
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::builtIn());
        QCOMPARE(sender.send(bytesOf(m), 1038), SendResult::Sent);
        QCOMPARE(fake->openOutputs, 0);
        QCOMPARE(midi->simulator().received().last(), m);
    }

    void unpluggedDeviceFailsAndNothingStaysOpen()
    {
        const QByteArray m = instrumentMessage(TransferHeader::VelocityCurve, 0x18, 1, QByteArray(127, 1));
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(1), MidiDevice::builtIn());
        QCOMPARE(sender.send(bytesOf(m), 141), SendResult::Sent);
        fake->outputs.removeLast();   // unplugged between sends
        QTest::qWait(MidiSystem::recheckMs + 20);   // a kept device is trusted that long
        QCOMPARE(sender.send(bytesOf(m), 141), SendResult::DeviceNotOpened);
        QCOMPARE(fake->openOutputs, 0);
        fake->outputs.append(QStringLiteral("Other device"));   // a new one took its number
        QTest::qWait(MidiSystem::recheckMs + 20);
        QCOMPARE(sender.send(bytesOf(m), 141), SendResult::Sent);
        QCOMPARE(fake->opens, 2);
        QCOMPARE(midi->ports().output(MidiDevice::system(1))->name(), QStringLiteral("Other device"));
    }

    // Other programs' ports coming and going shift the numbers of the rest: the kept device is
    // followed by its name, so a transfer never carries on into another program's port.
    void keptDeviceIsFollowedByItsName()
    {
        const QByteArray m = instrumentMessage(TransferHeader::DataBlock, 1, 0, QByteArray(16, 0x11));
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        QCOMPARE(sender.send(bytesOf(m), quint32(m.size())), SendResult::Sent);
        fake->outputs.prepend(QStringLiteral("Monitor"));   // now listed where "Port A" was
        QTest::qWait(MidiSystem::recheckMs + 20);
        QCOMPARE(sender.send(bytesOf(m), quint32(m.size())), SendResult::Sent);
        QCOMPARE(fake->opens, 1);
        QCOMPARE(midi->ports().output(MidiDevice::system(0))->name(), QStringLiteral("Port A"));
        QCOMPARE(fake->sent.size(), 2);
        QVERIFY(prompts.asked.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMidiSystem)
#include "tst_MidiSystem.moc"
