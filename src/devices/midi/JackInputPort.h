#pragma once

#include "core/midi/MidiInputPort.h"
#include "devices/midi/JackServerCalls.h"

#include <memory>

// An input from a JACK MIDI port: a client of its own with one port connected from the device.
// Every JACK event reaches the receiver as one piece, as it came, on the server's process
// thread: a SysEx without its F7 stays a piece of its own, so a short message sent after it is
// not glued to it (the reader decides what an unfinished SysEx means).
class JackInputPort : public MidiInputPort
{
public:
    // Null when the device is gone or the server does not answer; `error` says why. Returns
    // once the connection carries messages, so the device's first answer is not lost.
    static std::unique_ptr<JackInputPort> open(const QString &device, Receiver receiver,
                                               std::shared_ptr<JackServerCalls> calls,
                                               const JackServerCalls::Heartbeat &heartbeat, QString *error);
    // The receiver is never called once this returns; the client closes on the call thread.
    ~JackInputPort() override;

    // The answer runs inside the server's cycle, before the trigger is handed on.
    bool armAnswer(const QByteArray &trigger, std::function<void()> answer) override;
    bool disarmAnswer() override;

private:
    struct State;
    JackInputPort(std::shared_ptr<State> state, std::shared_ptr<JackServerCalls> calls);

    std::shared_ptr<State> state;
    std::shared_ptr<JackServerCalls> calls;
};
