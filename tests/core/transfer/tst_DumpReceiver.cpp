// RECEIVE's side: one template dump taken from the input, anything else passed over.
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/transfer/DumpReceiver.h"
#include "support/FakeMidiRig.h"
#include "support/InstrumentMessage.h"

#include <QSignalSpy>
#include <QTest>

class TestDumpReceiver : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    void dumpModeAcceptsOneTemplateDump()
    {
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy received(&receiver, &DumpReceiver::received);
        QVERIFY(receiver.listen());
        QCOMPARE(midi->capture().mode(), MidiInCapture::Mode::SysExDump);
        midi->simulator().playNote(60, 10);   // short messages do not disturb the dump
        midi->simulator().sendDump();
        settle();
        QCOMPARE(received.size(), 1);
        QCOMPARE(receiver.dump(), midi->simulator().currentTemplate());
        QCOMPARE(receiver.dump().size(), 162);
        QVERIFY(!midi->capture().isOpen());

        midi->simulator().sendDump();   // not heard until the next listen
        settle();
        QCOMPARE(received.size(), 1);
    }

    // The receive side's rule: a SysEx whose bytes 2, 3 and 7 are not 20 63 03 is passed over;
    // a longer one than the input buffer is cut to its first 256 bytes.
    void foreignSysExIsIgnoredAndLongDumpIsCut()
    {
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(0));   // the fake's input
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy delivered(&midi->capture(), &MidiInCapture::sysEx);
        QVERIFY(receiver.listen());
        QVERIFY(fake->input);
        QByteArray foreign = instrumentMessage(TransferHeader::TemplateImage, 0x18, 1, QByteArray(20, 1));
        foreign[4] = 0x7E;                                  // bytes 4-6 do not matter ...
        QByteArray wrong = foreign;
        wrong[3] = 0x64;                                    // ... but byte 3 does
        fake->input(wrong);
        fake->input(midiBytes({0x3C, 0xF8, 0x90, 0x3C}));         // noise and half a note
        QByteArray huge = instrumentMessage(TransferHeader::TemplateImage, 0x18, 1, QByteArray(10000, 0x42));
        for (int at = 0; at < huge.size(); at += 256)
            fake->input(huge.mid(at, 256) + char(0xFE));
        settle();
        QCOMPARE(delivered.size(), 2);
        QCOMPARE(receiver.dump(), huge.left(256));
        QCOMPARE(receiver.dump().size(), int(DumpReceiver::inputBufferSize));
        QVERIFY(!DumpReceiver::notWholeReason(receiver.dump()).isEmpty());
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(!fake->input);   // the port is closed
    }
};

QTEST_GUILESS_MAIN(TestDumpReceiver)
#include "tst_DumpReceiver.moc"
