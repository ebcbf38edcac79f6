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
    why.clear();
    const int device = midi.devices().output();
    // A message sent on its own (a velocity curve) is an exchange of its own: a USB instrument's
    // link is taken for it and given back after it.
    MidiExchange own;
    if (!midi.exchangeOpen() && midi.needsDirectLink(device)) {
        own = midi.openExchange(device, MidiSystem::noDevice, &why);
        if (!own.isOpen())
            return SendResult::DeviceNotOpened;
    }
    MidiOutputPort *port = midi.output(device);
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
    // After a message of its own over a direct link: the link's send returns once the device
    // has taken the message, so it is there as long as it is still listed.
    if (!midi.exchangeOpen() && midi.needsDirectLink(device))
        return midi.outputName(device).isEmpty() ? SendResult::MessageRefused : SendResult::Sent;
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
