#pragma once

#include "core/midi/MidiOutputPort.h"

#include <memory>

class UsbMidiConnection;

// An output over a USB MIDI device's taken interface: each message goes out as USB-MIDI packets
// coded by the position of its bytes (UsbMidiPacket), in one bulk transfer, and the send returns
// once the device has taken all of it.
class UsbLinkOutputPort : public MidiOutputPort
{
public:
    UsbLinkOutputPort(std::shared_ptr<UsbMidiConnection> connection, QString name);

    Delivery send(const std::uint8_t *bytes, std::size_t length, std::chrono::milliseconds limit) override;
    std::size_t maxMessageLength() const override;
    QString name() const override { return portName; }

private:
    std::shared_ptr<UsbMidiConnection> connection;
    QString portName;
};
