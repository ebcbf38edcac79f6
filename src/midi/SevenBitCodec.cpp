#include "midi/SevenBitCodec.h"

#include <array>
#include <bit>
#include <cstring>

namespace {

const std::uint8_t *asBytes(const QByteArray &data)
{
    return reinterpret_cast<const std::uint8_t *>(data.constData());
}

std::uint8_t *asBytes(QByteArray &data)
{
    return reinterpret_cast<std::uint8_t *>(data.data());
}

// For every flag value, the top bits it puts back on the group's 7 bytes (as a little-endian
// word whose byte k belongs to group byte k + 1).
constexpr std::array<std::uint64_t, 128> makeSpreadTable()
{
    std::array<std::uint64_t, 128> table{};
    for (unsigned flag = 0; flag < 128; ++flag) {
        std::uint64_t word = 0;
        for (unsigned k = 0; k < 7; ++k) {
            if (flag & (0x40u >> k))
                word |= std::uint64_t{0x80} << (8 * k);
        }
        table[flag] = word;
    }
    return table;
}
constexpr auto spreadTable = makeSpreadTable();

constexpr bool littleEndian = std::endian::native == std::endian::little;

void packGroupSlow(const std::uint8_t *in, std::size_t count, std::uint8_t *out)
{
    std::uint8_t flag = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (in[k] & 0x80)
            flag |= static_cast<std::uint8_t>(0x40u >> k);
        out[1 + k] = in[k] & 0x7F;
    }
    out[0] = flag;
}

void unpackGroupSlow(const std::uint8_t *in, std::size_t count, std::uint8_t *out)
{
    const std::uint8_t flag = in[0];
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t value = in[1 + k];
        if (flag & (0x40u >> k))
            value = static_cast<std::uint8_t>(value + 0x80);
        out[k] = value;
    }
}

} // namespace

void SevenBitCodec::packInto(const std::uint8_t *bytes, std::size_t length, std::uint8_t *out)
{
    std::size_t in = 0;
    if constexpr (littleEndian) {
        // Word at a time while an 8-byte load stays inside the input: the top bits of the 7 bytes
        // are gathered into the flag by one multiplication (each lands on its own bit, no carries).
        constexpr std::uint64_t lowBits = 0x0001010101010101ull;
        constexpr std::uint64_t gather = (1ull << 62) | (1ull << 53) | (1ull << 44) | (1ull << 35)
                                         | (1ull << 26) | (1ull << 17) | (1ull << 8);
        for (; in + 8 <= length; in += 7, out += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + in, 8);
            const std::uint64_t tops = (word >> 7) & lowBits;
            const std::uint64_t flag = ((tops * gather) >> 56) & 0x7F;
            const std::uint64_t packed = ((word & 0x007F7F7F7F7F7F7Full) << 8) | flag;
            std::memcpy(out, &packed, 8);
        }
    }
    for (; in + 7 <= length; in += 7, out += 8)
        packGroupSlow(bytes + in, 7, out);
    if (in < length)
        packGroupSlow(bytes + in, length - in, out);
}

void SevenBitCodec::unpackInto(const std::uint8_t *bytes, std::size_t length, std::uint8_t *out)
{
    const std::size_t groups = length / 8;
    std::size_t g = 0;
    if constexpr (littleEndian) {
        // The 8-byte store writes one byte beyond the group's 7; the next group overwrites it, so
        // the last full group is left to the byte loop.
        for (; g + 1 < groups; ++g) {
            std::uint64_t word;
            std::memcpy(&word, bytes + 8 * g, 8);
            // Adding 0x80 to a byte is the same as flipping its top bit.
            const std::uint64_t value = (word >> 8) ^ spreadTable[word & 0x7F];
            std::memcpy(out + 7 * g, &value, 8);
        }
    }
    for (; g < groups; ++g)
        unpackGroupSlow(bytes + 8 * g, 7, out + 7 * g);
    const std::size_t rest = length % 8;
    if (rest >= 2)
        unpackGroupSlow(bytes + 8 * groups, rest - 1, out + 7 * groups);
}

QByteArray SevenBitCodec::Pack(const std::uint8_t *bytes, std::size_t length)
{
    QByteArray out(static_cast<qsizetype>(packedLength(length)), Qt::Uninitialized);
    packInto(bytes, length, asBytes(out));
    return out;
}

QByteArray SevenBitCodec::Pack(const QByteArray &bytes)
{
    return Pack(asBytes(bytes), static_cast<std::size_t>(bytes.size()));
}

QByteArray SevenBitCodec::Unpack(const std::uint8_t *bytes, std::size_t length)
{
    QByteArray out(static_cast<qsizetype>(unpackedLength(length)), Qt::Uninitialized);
    unpackInto(bytes, length, asBytes(out));
    return out;
}

QByteArray SevenBitCodec::Unpack(const QByteArray &bytes)
{
    return Unpack(asBytes(bytes), static_cast<std::size_t>(bytes.size()));
}
