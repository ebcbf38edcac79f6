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
