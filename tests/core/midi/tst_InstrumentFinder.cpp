// Which of the system's ports is the instrument, by their names.
#include "core/midi/InstrumentFinder.h"
#include "core/midi/MidiSystem.h"
#include "support/MidiDeviceText.h"

#include <QTest>

class TestInstrumentFinder : public QObject
{
    Q_OBJECT

private slots:
    void instrumentIsTheFirstPortNamedZorvik()
    {
        using D = MidiSystem::Device;
        const MidiDevice builtIn = MidiDevice::builtIn();
        const auto at = [](int place) { return MidiDevice::system(place); };
        const QList<D> outs{{builtIn, "Zorvik Simulator"}, {at(0), "Synth"}, {at(1), "ZORVIK K8 (USB) MIDI 1"},
                            {at(2), "Zorvik K4"}};
        const QList<D> ins{{builtIn, "Zorvik Simulator"}, {at(0), "Keys"}, {at(2), "zorvik-sim:Zorvik Simulator"}};
        const InstrumentFinder::Choice found = InstrumentFinder::find(outs, ins);
        QCOMPARE(found.output, MidiDevice::system(1));
        QCOMPARE(found.outputName, QStringLiteral("ZORVIK K8 (USB) MIDI 1"));
        QCOMPARE(found.input, MidiDevice::system(2));   // another process's simulator is an instrument too
        QVERIFY(found.outputFound() && found.inputFound());

        // Only the built-in simulator, whose name has the mark too: nothing found.
        const InstrumentFinder::Choice none = InstrumentFinder::find({{builtIn, "Zorvik Simulator"}, {at(0), "Synth"}},
                                                                     {{builtIn, "Zorvik Simulator"}});
        QCOMPARE(none.output, MidiDevice::builtIn());
        QCOMPARE(none.input, MidiDevice::builtIn());
        QVERIFY(!none.outputFound() && !none.inputFound());
    }

    // Output and input of one device go together, by their names less what the MIDI system
    // adds: the sequencer's address, JACK's number for a second client of the same name.
    void instrumentIsAnOutputAndInputOfOneDevice()
    {
        using D = MidiSystem::Device;
        QCOMPARE(InstrumentFinder::deviceOf(QStringLiteral("Zorvik K8:Zorvik K8 MIDI 1 24:0")),
                 QStringLiteral("Zorvik K8:Zorvik K8 MIDI 1"));
        QCOMPARE(InstrumentFinder::deviceOf(QStringLiteral("zorvik-sim-01:Zorvik Simulator")),
                 QStringLiteral("zorvik-sim:Zorvik Simulator"));
        const MidiDevice builtIn = MidiDevice::builtIn();
        const auto at = [](int place) { return MidiDevice::system(place); };
        const QList<D> outs{{builtIn, "Zorvik Simulator"}, {at(0), "monitor:Zorvik Monitor"},
                            {at(1), "zorvik-sim:Zorvik Simulator"}, {at(2), "Zorvik K8:Zorvik K8 MIDI 1 24:0"}};
        const QList<D> ins{{builtIn, "Zorvik Simulator"}, {at(0), "Zorvik K8:Zorvik K8 MIDI 1 24:0"},
                           {at(1), "zorvik-sim-01:Zorvik Simulator"}};
        const InstrumentFinder::Choice found = InstrumentFinder::find(outs, ins);
        QCOMPARE(found.output, MidiDevice::system(1));   // the monitor, listed first, has no input
        QCOMPARE(found.input, MidiDevice::system(1));
        QCOMPARE(found.instruments, 2);
        QCOMPARE(InstrumentFinder::choiceNote(found, QStringLiteral("choose another.")),
                 QStringLiteral("2 instruments found; using zorvik-sim:Zorvik Simulator (MIDI Out) and "
                                "zorvik-sim-01:Zorvik Simulator (MIDI In); choose another."));
        // No pair at all: the first of each side, as there is nothing better.
        const InstrumentFinder::Choice apart = InstrumentFinder::find({{at(0), "Zorvik Out"}}, {{at(0), "Zorvik In"}});
        QCOMPARE(apart.output, MidiDevice::system(0));
        QCOMPARE(apart.input, MidiDevice::system(0));
        QCOMPARE(apart.instruments, 0);
        QVERIFY(InstrumentFinder::choiceNote(apart, QStringLiteral("x")).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestInstrumentFinder)
#include "tst_InstrumentFinder.moc"
