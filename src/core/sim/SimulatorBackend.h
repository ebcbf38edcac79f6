#pragma once

#include "core/midi/MidiPortBackend.h"
#include "core/sim/InstrumentSimulator.h"

#include <QObject>

#include <list>

// The built-in simulated instrument as a MIDI device: one output and one input, both named
// "Zorvik Simulator". A send hands the message to the simulator at once; its replies reach
// the open inputs later, from the event loop (after the reply delay), never inside the send.
class SimulatorBackend : public QObject, public MidiPortBackend
{
    Q_OBJECT

public:
    static inline const QString deviceName = QStringLiteral("Zorvik Simulator");

    explicit SimulatorBackend(QObject *parent = nullptr);
    ~SimulatorBackend() override;

    QStringList outputNames() override { return {deviceName}; }
    QStringList inputNames() override { return {deviceName}; }
    std::unique_ptr<MidiOutputPort> openOutput(int index, QString *error) override;
    std::unique_ptr<MidiInputPort> openInput(int index, MidiInputPort::Receiver receiver,
                                             QString *error) override;

    InstrumentSimulator &simulator() { return engine; }
    int openInputCount() const { return int(receivers.size()); }

private:
    class Output;
    class Input;
    void deliver(const QByteArray &bytes);

    InstrumentSimulator engine;
    std::list<MidiInputPort::Receiver *> receivers;
};
