#pragma once

#include "core/midi/MidiOutputPort.h"

#include <RtMidi.h>

#include <memory>
#include <thread>

// An output port of the operating system through RtMidi. The library call runs on a sender
// thread of the port, so that the caller's wait can be bounded: a back end that never takes
// a message (a stalled JACK server fills RtMidi's ring buffer and it yields forever) costs the
// caller the limit, not the program. A port that timed out leaves its stuck call behind and
// refuses everything after.
class RtMidiOutputPort : public MidiOutputPort
{
public:
    // Null when the port cannot be opened.
    static std::unique_ptr<RtMidiOutputPort> open(RtMidi::Api api, const QString &name, QString *error);
    ~RtMidiOutputPort() override;

    Delivery send(const std::uint8_t *bytes, std::size_t length,
                  std::chrono::milliseconds limit) override;
    QString name() const override { return portName; }
    std::size_t maxMessageLength() const override { return maxLength; }

    // The longest message the back end takes whole (RtMidi's JACK ring buffer drops longer ones
    // without a word; the Windows driver refuses more than 64 KiB).
    static std::size_t maxMessageLength(RtMidi::Api api);

private:
    struct Shared;
    RtMidiOutputPort(std::shared_ptr<Shared> shared, QString portName, std::size_t maxLength);
    static void work(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared;
    std::thread sender;
    QString portName;
    std::size_t maxLength = 0;
};
