// The live panel's listener: the input in idle time only.
#include "core/midi/DeviceSelection.h"
#include "core/midi/IdleInputListener.h"
#include "core/midi/MidiInCapture.h"
#include "core/sim/InstrumentSimulator.h"
#include "support/FakeMidiRig.h"
#include "support/InputListener.h"

#include <QSignalSpy>
#include <QTest>

class TestIdleInputListener : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    // A listener of idle time (the live panel's) takes the input only while it is free, gives it
    // up to any other open at once, takes it back from the event loop when it is free again, and
    // follows the input device in use, which it does not hold back as a busy capture does.
    void idleListenerGivesWayAndComesBack()
    {
        MidiInCapture &capture = midi->capture();
        IdleInputListener idle(midi->capture(), midi->devices());
        QSignalSpy heard(&idle, &IdleInputListener::shortMessage);
        QSignalSpy owners(&capture, &MidiInCapture::ownerChanged);
        idle.setEnabled(true);
        QVERIFY(!idle.isListening());   // not inside the call: from the event loop
        QTRY_VERIFY(idle.isListening());
        QCOMPARE(owners.size(), 1);
        QVERIFY(capture.isOpen() && !capture.isBusy());
        QVERIFY(!capture.openWhenIdle(this, MidiInCapture::Mode::ShortMessages));   // held: not idle
        midi->simulator().controlChange(1, 72, 100);
        QTRY_COMPARE(heard.size(), 1);
        QCOMPARE(heard.at(0), (QVariantList{quint8(0xB0), quint8(72), quint8(100)}));

        // Another owner opens: the listener is out at once and stays out while it is busy.
        InputListener other(capture);
        QVERIFY(other.open());
        QVERIFY(!idle.isListening() && capture.isBusy());
        midi->simulator().pitchBend(2, -8192);
        settle();
        QCOMPARE(other.shorts, QList<std::uint32_t>{0x0000E1});
        QCOMPARE(heard.size(), 1);
        QVERIFY(!idle.isListening());
        other.close();
        QVERIFY(!idle.isListening());
        QTRY_VERIFY(idle.isListening());

        // The instrument appears: the devices follow it under the listener, which moves with them.
        fake->inputs.append(QStringLiteral("Zorvik K8 (USB)"));
        fake->outputs.append(QStringLiteral("Zorvik K8 (USB)"));
        midi->devices().update();
        QCOMPARE(midi->devices().input(), MidiDevice::system(1));
        QTRY_VERIFY(fake->input);
        QVERIFY(idle.isListening());
        fake->input(midiBytes({0x90, 0x3C, 0x40}));
        QTRY_COMPARE(heard.size(), 2);
        // ... but not under a busy capture.
        QVERIFY(other.open());
        fake->inputs.clear();
        midi->devices().update();
        QCOMPARE(midi->devices().input(), MidiDevice::system(1));
        other.close();
        midi->devices().update();
        QCOMPARE(midi->devices().input(), MidiDevice::builtIn());
        QTRY_VERIFY(idle.isListening() && !fake->input);

        // Off: the input is given back and not taken again.
        idle.setEnabled(false);
        QVERIFY(!capture.isOpen());
        QVERIFY(other.open());
        other.close();
        settle();
        QVERIFY(!capture.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestIdleInputListener)
#include "tst_IdleInputListener.moc"
