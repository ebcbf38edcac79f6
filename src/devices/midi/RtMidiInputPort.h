#pragma once

#include "core/midi/MidiInputPort.h"

#include <RtMidi.h>

#include <QString>

#include <memory>

// An input port of the operating system through RtMidi. Input arrives on RtMidi's own thread
// and goes to the receiver as it came, piece by piece; joining SysEx pieces is the reader's job.
class RtMidiInputPort : public MidiInputPort
{
public:
    static std::unique_ptr<RtMidiInputPort> open(RtMidi::Api api, const QString &name, Receiver receiver,
                                                 QString *error);
    ~RtMidiInputPort() override;

    // Buffer sizes for back ends that have them (Windows): room for a whole data block.
    static constexpr unsigned bufferSize = 2048;
    static constexpr unsigned bufferCount = 8;

private:
    RtMidiInputPort() = default;
    static void arrived(double, std::vector<unsigned char> *message, void *self);

    std::unique_ptr<RtMidiIn> in;
    Receiver receiver;
    bool failed = false;   // set by RtMidi's error callback
};
