// The devices in use: the instrument while it is plugged in, the simulator without, the user's choice over both.
#include "core/midi/DeviceSelection.h"
#include "core/midi/SysExSender.h"
#include "core/protocol/TransferHeader.h"
#include "support/FakeMidiRig.h"
#include "support/InstrumentMessage.h"

#include <QSignalSpy>
#include <QTest>

class TestDeviceSelection : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    void instrumentIsFollowedUntilTheUserChooses()
    {
        DeviceSelection &devices = midi->devices();
        // Every selection starts on the defaults: the built-in simulator both ways.
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QCOMPARE(devices.input(), MidiDevice::builtIn());
        QSignalSpy changes(&devices, &DeviceSelection::changed);
        devices.startWatching();
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator — no instrument found"));
        QVERIFY(!devices.systemOutputInUse());

        // Plugged in: found by the watch within its period, without being asked.
        fake->outputs.append(QStringLiteral("Zorvik K8 (USB)"));
        fake->inputs.prepend(QStringLiteral("Zorvik K8 (USB)"));
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), MidiDevice::system(2), 5 * DeviceSelection::pollMs);
        QCOMPARE(devices.input(), MidiDevice::system(0));
        QCOMPARE(devices.label(), QStringLiteral("Zorvik K8 (USB)"));
        QCOMPARE(devices.details(), QStringLiteral("MIDI Out: Zorvik K8 (USB)\nMIDI In: Zorvik K8 (USB)"));
        QVERIFY(devices.systemOutputInUse());
        QVERIFY(changes.size() >= 1);
        SysExSender sender(midi->ports(), midi->devices());
        const QByteArray m = instrumentMessage(TransferHeader::VelocityCurve, 0x18, 1, QByteArray(127, 1));
        QCOMPARE(sender.send(bytesOf(m), 141), SendResult::Sent);
        QCOMPARE(fake->openOutputs, 1);

        // Unplugged: back to the simulator, and the connection to the port that went is closed
        // (one of the same name may come back).
        fake->outputs.removeLast();
        fake->inputs.removeFirst();
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), MidiDevice::builtIn(), 5 * DeviceSelection::pollMs);
        QCOMPARE(devices.input(), MidiDevice::builtIn());
        QCOMPARE(fake->openOutputs, 0);
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator — no instrument found"));
        devices.stopWatching();

        // The user's choice stays, whatever is plugged in; the simulator is then just its name.
        devices.choose(MidiDevice::builtIn(), MidiDevice::builtIn());
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator"));
        fake->outputs.prepend(QStringLiteral("zorvik-sim:Zorvik Simulator"));
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QVERIFY(!devices.followsInstrument());
        QCOMPARE(devices.found().output, MidiDevice::system(0));

        // A chosen system device that goes says so.
        devices.choose(MidiDevice::system(1), MidiDevice::system(0));
        QCOMPARE(devices.label(), QStringLiteral("Port A"));
        fake->outputs.clear();
        devices.update();
        QCOMPARE(devices.label(), QStringLiteral("Port A — not connected"));
        QCOMPARE(devices.output(), MidiDevice::system(1));

        fake->outputs = {QStringLiteral("zorvik-sim:Zorvik Simulator")};
        devices.followInstrument();
        QCOMPARE(devices.output(), MidiDevice::system(0));
        QCOMPARE(devices.label(), QStringLiteral("zorvik-sim:Zorvik Simulator"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceSelection)
#include "tst_DeviceSelection.moc"
