#include "core/protocol/UsbMidiPacket.h"

namespace {

constexpr int cinSysExGoesOn = 0x4;
constexpr int cinSingleByte = 0xF;

// The code index of a message that is not a SysEx, from its status byte.
int shortMessageCin(std::uint8_t status, std::size_t length)
{
    if (status >= 0x80 && status < 0xF0)
        return status >> 4;   // channel messages: their own high nibble, 8-E
    if (status >= 0xF8)
        return cinSingleByte;
    switch (length) {         // system common, by how many bytes it has
    case 1: return 0x5;
    case 2: return 0x2;
    default: return 0x3;
    }
}

} // namespace

int UsbMidiPacket::bytesCarried(int cin)
{
    switch (cin & 0x0F) {
    case 0x0: case 0x1: return 0;
    case 0x5: case 0xF: return 1;
    case 0x2: case 0x6: case 0xC: case 0xD: return 2;
    default: return 3;
    }
}

QByteArray UsbMidiPacket::encode(const std::uint8_t *message, std::size_t length, int cable)
{
    QByteArray out;
    if (!message || length == 0)
        return out;
    const char cableBits = char((cable & 0x0F) << 4);
    if (message[0] != 0xF0) {
        const std::size_t n = length < 3 ? length : 3;
        char packet[size] = {char(cableBits | shortMessageCin(message[0], n)), 0, 0, 0};
        for (std::size_t i = 0; i < n; ++i)
            packet[1 + i] = char(message[i]);
        out.append(packet, size);
        return out;
    }
    out.reserve(qsizetype((length + 2) / 3 * size));
    for (std::size_t at = 0; at < length; at += 3) {
        const std::size_t left = length - at;
        const int cin = left > 3 ? cinSysExGoesOn : int(cinSysExGoesOn + left);   // 5, 6, 7 at the end
        char packet[size] = {char(cableBits | cin), 0, 0, 0};
        for (std::size_t i = 0; i < 3 && i < left; ++i)
            packet[1 + i] = char(message[at + i]);
        out.append(packet, size);
    }
    return out;
}

QByteArray UsbMidiPacket::encode(const QByteArray &message, int cable)
{
    return encode(reinterpret_cast<const std::uint8_t *>(message.constData()), std::size_t(message.size()), cable);
}

QByteArray UsbMidiPacket::decode(const std::uint8_t *packets, std::size_t length, int cable)
{
    QByteArray out;
    for (std::size_t at = 0; at + size <= length; at += size) {
        const std::uint8_t *packet = packets + at;
        if ((packet[0] >> 4) != (cable & 0x0F))
            continue;
        const int n = bytesCarried(packet[0] & 0x0F);
        out.append(reinterpret_cast<const char *>(packet + 1), n);
    }
    return out;
}

QByteArray UsbMidiPacket::decode(const QByteArray &packets, int cable)
{
    return decode(reinterpret_cast<const std::uint8_t *>(packets.constData()), std::size_t(packets.size()), cable);
}
