#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>

class DeviceSelection;
class MidiSystem;

enum class SendResult {
    Sent,               // the device took the whole message
    DeviceNotOpened,    // no such device, or it cannot be opened; nothing was sent
    HeaderNotPrepared,  // the device cannot take a message of this size; nothing was sent
    MessageRefused,     // the device refused the message or did not finish it in time
};

// Sends one complete SysEx message to the output device in use (the DeviceSelection's), read at
// the moment of the call, and returns when the device has taken it; a message sent outside any
// exchange to a device reached through its direct link (a USB instrument) takes the link for
// itself. The caller owns the buffer, and tells the user what a result means in its own words.
// The connection to the device last used is kept between sends (MidiSystem), but every send
// checks that the chosen device is still there, and a failed send closes it.
class SysExSender
{
public:
    SysExSender(MidiSystem &ports, DeviceSelection &devices);

    SendResult send(const std::uint8_t *buffer, std::uint32_t length);
    // After a message the device does not acknowledge (the last block of a transfer, a
    // template): waits until everything sent has left for the device, then looks the device up
    // afresh, since it may have gone while the message was on its way. Sent when it is still
    // there and the back end saw nothing go astray; otherwise MessageRefused, and the device is
    // closed.
    SendResult confirm();

    // How long a send waits for the device: a second of slack plus twice the time the message
    // takes on a 31250-baud MIDI line (320 microseconds a byte).
    static std::chrono::milliseconds waitLimit(std::size_t length);

    // Why the last send found no device, when the system said (empty otherwise).
    QString problem() const { return why; }

private:
    MidiSystem &ports;
    DeviceSelection &devices;
    QString why;
};
