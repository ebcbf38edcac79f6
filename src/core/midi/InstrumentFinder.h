#pragma once

#include "core/midi/MidiSystem.h"

#include <QList>
#include <QString>

// Which devices are "the instrument": an output and an input of one device, both with
// "Zorvik" in their names (in any case). The two directions are chosen as a pair, so a send
// never goes to one device while listening to another: a port of another program that merely
// has "Zorvik" in its name, listed first on one side, is passed over. Ports belong to one device
// when their names agree but for what the MIDI system adds to tell clients apart (the sequencer's
// " 24:0" address, JACK's "-01" after a second client of the same name). Without such a pair,
// the first of each side; the built-in simulator when there is none. The simulated instrument
// of another process (zorvik-sim) is a system port like any other, so it counts too, and its
// listed name ("zorvik-sim:Zorvik Simulator") tells it from the built-in one.
class InstrumentFinder
{
public:
    struct Choice
    {
        MidiDevice output = MidiDevice::builtIn();
        MidiDevice input = MidiDevice::builtIn();
        QString outputName;   // empty when the built-in simulator stands in
        QString inputName;
        int instruments = 0;  // how many output-and-input pairs were found

        bool outputFound() const { return !output.isBuiltIn(); }
        bool inputFound() const { return !input.isBuiltIn(); }
        bool operator==(const Choice &) const = default;
    };

    static bool isInstrument(const QString &portName);
    // What a port's name says of the device it belongs to: its name without the sequencer's
    // address and without JACK's number for a client of a name already taken.
    static QString deviceOf(const QString &portName);

    // The lists as MidiSystem gives them; the built-in simulator's own entries are passed over.
    static Choice find(const QList<MidiSystem::Device> &outputs, const QList<MidiSystem::Device> &inputs);

    // One line for when more than one instrument is found: which is used, and how to choose
    // another (`how`, in the words of the program that says it). Empty for one or none.
    static QString choiceNote(const Choice &choice, const QString &how);
};
