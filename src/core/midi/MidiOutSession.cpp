#include "core/midi/MidiOutSession.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"

MidiOutSession::MidiOutSession(MidiSystem &midiSystem)
    : midi(midiSystem)
{
}

std::chrono::milliseconds MidiOutSession::waitLimit(std::size_t length)
{
    return std::chrono::milliseconds(1000 + (length * 640 + 999) / 1000);
}

SendResult MidiOutSession::send(const std::uint8_t *buffer, std::uint32_t length)
{
    MidiOutputPort *port = midi.output(midi.devices().output());
    if (!port)
        return SendResult::DeviceNotOpened;
    if (!buffer || length == 0 || length > port->maxMessageLength()) {
        // Nothing the device could take whole: nothing is sent, and the device is closed.
        midi.releaseOutput();
        return SendResult::HeaderNotPrepared;
    }
    if (port->send(buffer, length, waitLimit(length)) != MidiOutputPort::Delivery::Delivered) {
        midi.releaseOutput();
        return SendResult::MessageRefused;
    }
    return SendResult::Sent;
}

SendResult MidiOutSession::confirm()
{
    const int device = midi.devices().output();
    MidiOutputPort *port = midi.output(device);
    bool arrived = port && port->flush(waitLimit(0)) == MidiOutputPort::Delivery::Delivered;
    if (arrived) {
        midi.recheckOutput();
        arrived = midi.output(device) == port;
    }
    if (!arrived) {
        midi.releaseOutput();
        return SendResult::MessageRefused;
    }
    return SendResult::Sent;
}
