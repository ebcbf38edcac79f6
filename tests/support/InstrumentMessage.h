#pragma once

#include "core/protocol/TransferHeader.h"

#include <QByteArray>

#include <cstdint>

// One message of the instrument's protocol as tests need it: the frame with a command, a target
// number and a 16-bit count or index, then the payload and F7.
inline QByteArray instrumentMessage(std::uint8_t command, std::uint8_t number, int count,
                                    const QByteArray &payload = {})
{
    QByteArray m(int(TransferHeader::size), 0);
    TransferHeader::write(reinterpret_cast<std::uint8_t *>(m.data()), command, number, std::uint8_t(count >> 8),
                          std::uint8_t(count));
    return m + payload + char(0xF7);
}

// A SysEx of `size` bytes (at least 8) that starts like the instrument's template dump (bytes
// 1-3 00 20 63, byte 7 03) and ends in F7, whatever it holds between: cut and foreign dumps.
inline QByteArray startsLikeADump(int size)
{
    QByteArray bytes(size, '\x01');
    bytes[0] = char(0xF0);
    bytes[1] = 0x00;
    bytes[2] = 0x20;
    bytes[3] = 0x63;
    bytes[7] = 0x03;
    bytes[size - 1] = char(0xF7);
    return bytes;
}
