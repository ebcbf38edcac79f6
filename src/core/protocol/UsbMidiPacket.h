#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// USB-MIDI event packets, as a class-compliant USB MIDI device takes and sends them: four bytes
// each, the cable number in the high nibble of the first, a code index number (CIN) in its low
// nibble, then up to three MIDI bytes padded with zeros.
//
// A SysEx is coded by the *position* of its bytes, never their values: CIN 4 for each three bytes
// that do not end the message, then 5, 6 or 7 for the last one, two or three bytes, which end in
// F7. So the instrument's frame reaches it whole, 0x89 and full 8-bit block numbers included;
// the kernel's USB MIDI driver codes by value, and cuts it at the first such byte.
class UsbMidiPacket
{
public:
    static constexpr std::size_t size = 4;

    // The packets for one complete message on `cable` (0-15): a SysEx F0 ... F7, a channel
    // message (its own CIN, 8-E), or a system common or realtime message. Empty for an empty
    // message.
    static QByteArray encode(const std::uint8_t *message, std::size_t length, int cable = 0);
    static QByteArray encode(const QByteArray &message, int cable = 0);

    // The MIDI bytes that packets carry on `cable`, in order; packets of other cables, reserved
    // code indexes and a trailing piece shorter than a packet are left out. What comes out is the
    // byte stream a MIDI line would carry, for MidiStreamParser.
    static QByteArray decode(const std::uint8_t *packets, std::size_t length, int cable = 0);
    static QByteArray decode(const QByteArray &packets, int cable = 0);

    // How many MIDI bytes a packet with code index `cin` carries (0 for the reserved 0 and 1).
    static int bytesCarried(int cin);
};
