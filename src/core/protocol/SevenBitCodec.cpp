#include "core/protocol/SevenBitCodec.h"

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
        constexpr std::uint64_t topBits = 0x0080808080808080ull;
        constexpr std::uint64_t gather = (1ull << 55) | (1ull << 46) | (1ull << 37) | (1ull << 28)
                                         | (1ull << 19) | (1ull << 10) | (1ull << 1);
        // Top bit of byte k (bit 8k + 7) lands on bit 62 - k: flag bit 6 - k after the shift.
        const auto packWord = [](const std::uint8_t *from, std::uint8_t *to) {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            word = ((word << 8) & 0x7F7F7F7F7F7F7F00ull) | (((word & topBits) * gather) >> 56);
            std::memcpy(to, &word, 8);
        };
        // Four groups a round keeps the loop's own bookkeeping out of the way.
        for (; in + 29 <= length; in += 28, out += 32) {
            packWord(bytes + in, out);
            packWord(bytes + in + 7, out + 8);
            packWord(bytes + in + 14, out + 16);
            packWord(bytes + in + 21, out + 24);
        }
        for (; in + 8 <= length; in += 7, out += 8)
            packWord(bytes + in, out);
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
        // the last full group is left to the byte loop. Adding 0x80 to a byte is the same as
        // flipping its top bit.
        const auto unpackWord = [](const std::uint8_t *from, std::uint8_t *to) {
            std::uint64_t word;
            std::memcpy(&word, from, 8);
            word = (word >> 8) ^ spreadTable[word & 0x7F];
            std::memcpy(to, &word, 8);
        };
        for (; g + 4 < groups; g += 4) {
            unpackWord(bytes + 8 * g, out + 7 * g);
            unpackWord(bytes + 8 * g + 8, out + 7 * g + 7);
            unpackWord(bytes + 8 * g + 16, out + 7 * g + 14);
            unpackWord(bytes + 8 * g + 24, out + 7 * g + 21);
        }
        for (; g + 1 < groups; ++g)
            unpackWord(bytes + 8 * g, out + 7 * g);
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
