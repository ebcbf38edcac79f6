#pragma once

#include "core/midi/MidiOutputPort.h"

#include <memory>

// An output to an ALSA sequencer port that hands a SysEx to the sequencer as it is, one event
// per message. RtMidi's ALSA back end runs every message through the sequencer's MIDI encoder,
// which takes any byte with the top bit set for a new status byte; the instrument's frame has
// such bytes inside its SysEx (0x89, block numbers of 128 and more), so that path would turn a
// message into stray note-offs. Other messages do go through the encoder. The wait is bounded without a thread: the sequencer is used
// non-blocking and polled for room until the limit.
class AlsaSequencerOutputPort : public MidiOutputPort
{
public:
    // `name` as RtMidi lists ALSA ports: "client:port client-number:port-number".
    static std::unique_ptr<AlsaSequencerOutputPort> open(const QString &name, QString *error);
    // A port of our own that others subscribe to (the simulator's output).
    static std::unique_ptr<AlsaSequencerOutputPort> openVirtual(const QString &clientName,
                                                                const QString &portName, QString *error);
    // The address at the end of such a name; false when there is none.
    static bool parseAddress(const QString &name, int *client, int *port);

    ~AlsaSequencerOutputPort() override;

    Delivery send(const std::uint8_t *bytes, std::size_t length,
                  std::chrono::milliseconds limit) override;
    std::size_t maxMessageLength() const override { return maxLength; }
    QString name() const override { return portName; }

    // A variable-length event is copied into the kernel's pool of the client.
    static constexpr std::size_t maxLength = 16 * 1024;

private:
    struct Handle;
    explicit AlsaSequencerOutputPort(std::unique_ptr<Handle> handle, QString name);

    std::unique_ptr<Handle> handle;
    QString portName;
};
