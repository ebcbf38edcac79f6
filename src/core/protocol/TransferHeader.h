#pragma once

#include <cstddef>
#include <cstdint>

// The 13-byte frame that starts every message of the instrument's protocol:
// F0 00 20 63 00 01 00 command 00 number high low 89. A message ends with F7 after its payload.
class TransferHeader
{
public:
    static constexpr std::size_t size = 13;
    static constexpr std::uint8_t noNumber = 0x18;   // byte 9 where no target number applies

    enum Command : std::uint8_t {
        SongAnnouncement = 0x02,
        TemplateImage = 0x03,
        FirmwareAnnouncement = 0x04,
        VelocityCurve = 0x05,
        DataBlock = 0x7F,
    };

    enum Offset : std::size_t {
        CommandOffset = 7,
        NumberOffset = 9,
        HighOffset = 10,
        LowOffset = 11,
    };

    static void write(std::uint8_t *buffer, std::uint8_t command, std::uint8_t number,
                      std::uint8_t high, std::uint8_t low);

    // True when the bytes carry the instrument's manufacturer bytes at offsets 2 and 3 and the
    // given command at offset 7 (the check the receive side makes; length >= 8 required).
    static bool matches(const std::uint8_t *bytes, std::size_t length, std::uint8_t command);
};
