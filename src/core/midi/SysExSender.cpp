#include "core/midi/SysExSender.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"

SysExSender::SysExSender(MidiSystem &midiPorts, DeviceSelection &selection)
    : ports(midiPorts), devices(selection)
{
}

std::chrono::milliseconds SysExSender::waitLimit(std::size_t length)
{
    return std::chrono::milliseconds(1000 + (length * 640 + 999) / 1000);
}

SendResult SysExSender::send(const std::uint8_t *buffer, std::uint32_t length)
{
    why.clear();
    const MidiDevice device = devices.output();
    // A message sent on its own (a velocity curve) is an exchange of its own: a USB instrument's
    // link is taken for it and given back after it.
    MidiExchange own;
    if (!ports.exchangeOpen() && ports.needsDirectLink(device)) {
        own = ports.openExchange(device, MidiDevice::none(), &why);
        if (!own.isOpen())
            return SendResult::DeviceNotOpened;
    }
    MidiOutputPort *port = ports.output(device);
    if (!port)
        return SendResult::DeviceNotOpened;
    if (!buffer || length == 0 || length > port->maxMessageLength()) {
        // Nothing the device could take whole: nothing is sent, and the device is closed.
        ports.releaseOutput();
        return SendResult::HeaderNotPrepared;
    }
    if (port->send(buffer, length, waitLimit(length)) != MidiOutputPort::Delivery::Delivered) {
        ports.releaseOutput();
        return SendResult::MessageRefused;
    }
    return SendResult::Sent;
}

SendResult SysExSender::confirm()
{
    const MidiDevice device = devices.output();
    // After a message of its own over a direct link: the link's send returns once the device
    // has taken the message, so it is there as long as it is still listed.
    if (!ports.exchangeOpen() && ports.needsDirectLink(device))
        return ports.outputName(device).isEmpty() ? SendResult::MessageRefused : SendResult::Sent;
    MidiOutputPort *port = ports.output(device);
    bool arrived = port && port->flush(waitLimit(0)) == MidiOutputPort::Delivery::Delivered;
    if (arrived) {
        ports.recheckOutput();
        arrived = ports.output(device) == port;
    }
    if (!arrived) {
        ports.releaseOutput();
        return SendResult::MessageRefused;
    }
    return SendResult::Sent;
}
