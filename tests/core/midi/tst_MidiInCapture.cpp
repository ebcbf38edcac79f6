// The one MIDI input, one owner at a time, in short-message or dump mode.
#include "core/base/PromptService.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/transfer/DumpReceiver.h"
#include "core/transfer/TransferDriver.h"
#include "support/FakeMidiRig.h"
#include "support/InputListener.h"

#include <QSignalSpy>
#include <QTest>

class TestMidiInCapture : public QObject, FakeMidiRig
{
    Q_OBJECT

private slots:
    void init() { renewMidi(); }
    void cleanup() { closeMidi(); }

    // The capture only says why; each caller tells the user in its own words (the velocity
    // monitor's are checked with the curve editor).
    void missingInputDevice_data()
    {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("transfer") << "transfer" << "There are no MIDI input devices!" << "Zorvik Updata"
                                  << int(PromptService::Icon::None);
        QTest::newRow("receive") << "receive" << "Error opening the default MIDI In Device!\r\n" << "Zorvik Halden"
                                 << int(PromptService::Icon::Stop);
    }

    void missingInputDevice()
    {
        QFETCH(QString, caller);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(1));   // the fake has one input, at place 0
        InputListener listener(midi->capture());
        QString error;
        QVERIFY(!midi->capture().open(&listener, MidiInCapture::Mode::ShortMessages, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(prompts.asked.isEmpty());

        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        if (caller == QLatin1String("transfer")) {
            QSignalSpy closeRequested(&driver, &TransferDriver::closeRequested);
            driver.open(FileKind::Firmware, QByteArray(100, 0x21));
            driver.send();
            QCOMPARE(closeRequested.size(), 1);
        } else {
            QVERIFY(!receiver.listen());
        }
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.at(0).text, text);
        QCOMPARE(prompts.asked.at(0).caption, caption);
        QCOMPARE(int(prompts.asked.at(0).icon), icon);
        QVERIFY(!midi->capture().isOpen());
    }

    void shortMessagesModeDropsSysEx()
    {
        InputListener listener(midi->capture());
        QVERIFY(listener.open(MidiInCapture::Mode::ShortMessages));
        midi->simulator().playNote(60, 100);
        midi->simulator().sendDump();
        midi->simulator().playNote(61, 7);
        settle();
        QCOMPARE(listener.shorts, (QList<std::uint32_t>{0x643C90, 0x073D90}));
        QVERIFY(listener.sysExes.isEmpty());

        // In dump mode the SysEx comes too, whole.
        QVERIFY(listener.open(MidiInCapture::Mode::SysExDump));
        midi->simulator().playNote(62, 1);
        midi->simulator().sendDump();
        settle();
        QCOMPARE(listener.shorts.last(), std::uint32_t(0x013E90));
        QCOMPARE(listener.sysExes, QList<QByteArray>{midi->simulator().currentTemplate()});
    }

    void closeWithoutOpenDoesNothing()
    {
        InputListener listener(midi->capture());
        listener.close();
        listener.close();
        QVERIFY(prompts.asked.isEmpty());
        QVERIFY(listener.open());
        midi->simulator().playNote(60, 1);   // queued, then the capture closes
        listener.close();
        listener.close();
        settle();
        QVERIFY(listener.shorts.isEmpty());
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(prompts.asked.isEmpty());
    }

    // One owner at a time: a second open ends the first, input queued for the first is dropped,
    // only the owner closes, and an owner that goes takes its capture with it.
    void oneOwnerAtATime()
    {
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(0));   // the fake's input, fed by hand
        InputListener first(midi->capture());
        QVERIFY(first.open());
        fake->input(midiBytes({0x90, 0x3C, 0x01}));   // on its way to the first owner
        {
            InputListener second(midi->capture());
            QVERIFY(second.open());
            QCOMPARE(midi->capture().owner(), &second);
            first.close();   // no longer the first's to close
            QVERIFY(midi->capture().isOpenFor(&second));
            fake->input(midiBytes({0x90, 0x3D, 0x02}));
            settle();
            QVERIFY(first.shorts.isEmpty());
            QCOMPARE(second.shorts, QList<std::uint32_t>{0x023D90});
        }
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(!fake->input);
    }
};

QTEST_GUILESS_MAIN(TestMidiInCapture)
#include "tst_MidiInCapture.moc"
