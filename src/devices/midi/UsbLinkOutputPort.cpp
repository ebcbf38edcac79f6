#include "devices/midi/UsbLinkOutputPort.h"

#include "core/protocol/UsbMidiPacket.h"
#include "devices/midi/UsbMidiConnection.h"

UsbLinkOutputPort::UsbLinkOutputPort(std::shared_ptr<UsbMidiConnection> link, QString name)
    : connection(std::move(link)), portName(std::move(name))
{
}

MidiOutputPort::Delivery UsbLinkOutputPort::send(const std::uint8_t *bytes, std::size_t length,
                                                 std::chrono::milliseconds limit)
{
    return connection->write(UsbMidiPacket::encode(bytes, length, connection->address().cable), limit);
}

std::size_t UsbLinkOutputPort::maxMessageLength() const
{
    return UsbMidiConnection::maxMessageLength;
}
