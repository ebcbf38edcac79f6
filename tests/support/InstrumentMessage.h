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

// A SysEx of `size` bytes (at least 14) that starts like the instrument's template dump (its
// 13-byte frame) and ends in F7, whatever it holds between: cut, short and foreign dumps.
inline QByteArray startsLikeADump(int size)
{
    QByteArray bytes(size, '\x01');
    bytes.replace(0, int(TransferHeader::size),
                  instrumentMessage(TransferHeader::TemplateImage, TransferHeader::noNumber, 1).left(int(TransferHeader::size)));
    bytes.resize(size);
    bytes[size - 1] = char(0xF7);
    return bytes;
}
