#pragma once

#include "core/midi/MidiOutputPort.h"
#include "devices/midi/JackServerCalls.h"

#include <memory>

// An output to a JACK MIDI port: a client of its own with one port connected to the device.
// A send puts the message into a ring that the client's process callback empties into the port,
// as many whole messages per cycle as the port's buffer holds; what does not fit waits for the
// next cycle instead of being dropped. The port knows whether it is connected, so a message for
// a device that went away is refused, and flush() tells whether everything sent reached it.
class JackOutputPort : public MidiOutputPort
{
public:
    // Null when the device is gone or the server does not answer; `error` says why. Returns
    // once the connection carries messages: JACK makes a new connection part of its graph a
    // cycle or more after it was made, and a message sent before would be lost.
    static std::unique_ptr<JackOutputPort> open(const QString &device, std::shared_ptr<JackServerCalls> calls,
                                                const JackServerCalls::Heartbeat &heartbeat, QString *error);
    ~JackOutputPort() override;

    Delivery send(const std::uint8_t *bytes, std::size_t length,
                  std::chrono::milliseconds limit) override;
    Delivery flush(std::chrono::milliseconds limit) override;
    QuickSender quickSender() override;
    std::size_t maxMessageLength() const override { return maxLength; }
    QString name() const override { return deviceName; }

    // The longest message taken, and the room for messages waiting for their cycle.
    static constexpr std::size_t maxLength = 16 * 1024;
    static constexpr std::size_t ringSize = 64 * 1024;

private:
    struct State;
    JackOutputPort(std::shared_ptr<State> state, std::shared_ptr<JackServerCalls> calls, QString deviceName);
    static void enqueue(State &state, const std::uint8_t *bytes, std::size_t length);
    // Waits until the process callback has taken everything queued; false when it did not.
    bool drained(std::chrono::milliseconds limit);

    std::shared_ptr<State> state;
    std::shared_ptr<JackServerCalls> calls;
    QString deviceName;
};
