#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Makes 8-bit data SysEx-safe: every group of 7 bytes becomes a flag byte holding their top bits
// (bit 6 for the first byte down to bit 0 for the seventh) followed by the 7 bytes with their top
// bit cleared. A final partial group of r bytes becomes 1 + r bytes.
class SevenBitCodec
{
public:
    static constexpr std::size_t packedLength(std::size_t length) { return length + (length + 6) / 7; }
    static constexpr std::size_t unpackedLength(std::size_t length)
    {
        const std::size_t rest = length % 8;
        return 7 * (length / 8) + (rest == 0 ? 0 : rest - 1);
    }

    static QByteArray Pack(const std::uint8_t *bytes, std::size_t length);
    static QByteArray Pack(const QByteArray &bytes);
    // A flag byte adds 0x80 to a byte (modulo 256); a final group of one byte gives nothing.
    static QByteArray Unpack(const std::uint8_t *bytes, std::size_t length);
    static QByteArray Unpack(const QByteArray &bytes);

    // Raw forms for callers that own their buffers: out must hold packedLength / unpackedLength.
    static void packInto(const std::uint8_t *bytes, std::size_t length, std::uint8_t *out);
    static void unpackInto(const std::uint8_t *bytes, std::size_t length, std::uint8_t *out);
};
