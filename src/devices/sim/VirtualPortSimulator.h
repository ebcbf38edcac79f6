#pragma once

#include "core/midi/MidiOutputPort.h"
#include "core/protocol/MidiStreamParser.h"
#include "core/sim/InstrumentSimulator.h"

#include <RtMidi.h>

#include <QObject>

#include <atomic>
#include <memory>

class QTimer;

// The simulated instrument on virtual ports of the system ("Zorvik Simulator", one input and
// one output) for programs that talk to real devices. Input arrives on RtMidi's thread and is
// queued to the simulator's thread; replies go out after the simulator's reply delay.
class VirtualPortSimulator : public QObject
{
    Q_OBJECT

public:
    static inline const char *portName = "Zorvik Simulator";

    explicit VirtualPortSimulator(QObject *parent = nullptr);
    ~VirtualPortSimulator() override;

    // False when the back end cannot start (no sequencer, no JACK server); `error` says why.
    bool open(RtMidi::Api api, QString *error);

    InstrumentSimulator &simulator() { return engine; }
    // Whole messages received since the ports opened.
    qint64 receivedCount() const { return messagesIn; }

signals:
    // Every whole message received, and every message sent, as they happen.
    void received(const QByteArray &message);
    void sent(const QByteArray &message);
    // The MIDI server the ports live on has gone away (JACK): the ports are dead.
    void serverLost();

private:
    static void arrived(double, std::vector<unsigned char> *message, void *self);
    void send(const QByteArray &bytes);

    InstrumentSimulator engine;
    qint64 messagesIn = 0;
    MidiStreamParser parser;
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    std::unique_ptr<MidiOutputPort> alsaOut;   // on ALSA: past RtMidi's encoder (see AlsaSequencerOutputPort)
    // On JACK: a client of our own that hears the server shut down, and what it heard (set on
    // JACK's thread, looked at on ours).
    void *serverWatch = nullptr;
    std::atomic_bool serverGone{false};
    QTimer *serverCheck;
    bool leaving = false;                      // the fault vanishBeforeLast struck
    bool portError = false;                    // RtMidi reported an error (not a warning)
};
