#include "core/protocol/TransferHeader.h"

void TransferHeader::write(std::uint8_t *buffer, std::uint8_t command, std::uint8_t number,
                           std::uint8_t high, std::uint8_t low)
{
    const std::uint8_t header[size] = {0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00,
                                       command, 0x00, number, high, low, 0x89};
    for (std::size_t i = 0; i < size; ++i)
        buffer[i] = header[i];
}

bool TransferHeader::matches(const std::uint8_t *bytes, std::size_t length, std::uint8_t command)
{
    return length > CommandOffset && bytes[2] == 0x20 && bytes[3] == 0x63 && bytes[CommandOffset] == command;
}
