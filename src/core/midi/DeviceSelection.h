#pragma once

#include "core/midi/InstrumentFinder.h"
#include "core/midi/MidiDevice.h"
#include "core/midi/MidiSystem.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Which devices the program uses, and what to call them. The devices in use, output() and
// input(), are what every send and capture opens; they are never saved. They start as the
// built-in device both ways, which means "the instrument": until the user picks devices in Set
// Device, the selection follows the instrument, found at start and again whenever ports come or
// go (looked at once a second while watching). A device is never changed while `busy` says so
// (a transfer, a capture, an open exchange): the new choice waits, so an instrument unplugged
// during a transfer ends it with the transfer's own messages (a listener that only fills idle
// time, the live panel, does not hold the choice back). It reads the ports' listings from the
// MIDI system, and closes the kept output there when that output's port goes.
class DeviceSelection : public QObject
{
    Q_OBJECT

public:
    static constexpr int pollMs = 1000;
    static const QString noInstrumentText;
    static const QString notConnectedSuffix;
    static const QString noOutputText;
    static const QString noInputText;

    // busy: whether the devices in use may not change now.
    DeviceSelection(MidiSystem &ports, std::function<bool()> busy);

    // The devices in use; a place no port has, or none, is possible and fails the next send or
    // capture.
    MidiDevice output() const { return outputDevice; }
    MidiDevice input() const { return inputDevice; }
    // The name listed now for the input in use (the built-in device's name for it); empty when
    // nothing is listed there.
    QString inputName() const;

    // Looks at the ports now and then every pollMs until stopWatching().
    void startWatching();
    void stopWatching();
    bool isWatching() const { return timer.isActive(); }

    // Looks at the ports once, follows the instrument if it should, and renames what is in use.
    void update();

    bool followsInstrument() const { return following; }
    // The user's choice: kept for the rest of the run, whatever comes or goes.
    void choose(MidiDevice output, MidiDevice input);
    // Back to the instrument found (Refresh, then OK, in Set Device).
    void followInstrument();
    // Sets the devices in use and leaves the way they are chosen as it is (OK in Set Device
    // with nothing picked); the next look at the ports may change them while following.
    void use(MidiDevice output, MidiDevice input);

    // The instrument found when the ports were last looked at.
    const InstrumentFinder::Choice &found() const { return lastFound; }

    // One line for the main window: the output in use, e.g. "Zorvik K8 (USB)", or
    // noInstrumentText while the built-in simulator stands in for a missing instrument.
    QString label() const { return shownLabel; }
    // Both directions, one a line ("MIDI Out: ...", "MIDI In: ..."), and which instrument is used
    // when more than one is found.
    QString details() const { return shownDetails; }
    // The output in use is a port of the system that is there, not the built-in simulator.
    bool systemOutputInUse() const { return systemOutput; }

signals:
    // The devices in use, or their names, changed.
    void changed();

private:
    struct InUse
    {
        MidiDevice device;
        QString lastName;   // the name last listed for that device, to say what is missing
    };
    // The listed name of a system device in use; empty for the built-in one or one not listed.
    static QString nameOf(MidiDevice device, const QList<MidiSystem::Device> &devices);
    QString describe(InUse &inUse, MidiDevice device, const QList<MidiSystem::Device> &devices,
                     const QString &missing) const;

    MidiSystem &ports;
    std::function<bool()> busy;
    QTimer timer;
    bool following = true;
    MidiDevice outputDevice = MidiDevice::builtIn();
    MidiDevice inputDevice = MidiDevice::builtIn();
    InstrumentFinder::Choice lastFound;
    InUse out{MidiDevice::builtIn(), {}};
    InUse in{MidiDevice::builtIn(), {}};
    QString shownLabel;
    QString shownDetails;
    bool systemOutput = false;
};
