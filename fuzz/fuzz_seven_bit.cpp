// SevenBitCodec: Unpack of any bytes agrees with a byte-by-byte reading of the format and has
// the announced length; Pack gives 7-bit data that Unpack turns back into the input.
#include "FuzzSupport.h"

#include "core/protocol/SevenBitCodec.h"

namespace {

QByteArray referenceUnpack(const QByteArray &in)
{
    QByteArray out;
    for (qsizetype g = 0; g < in.size(); g += 8) {
        const auto flag = std::uint8_t(in[g]);
        for (qsizetype k = 1; k < 8 && g + k < in.size(); ++k) {
            auto value = std::uint8_t(in[g + k]);
            if (flag & (0x40u >> (k - 1)))
                value = std::uint8_t(value + 0x80);
            out.append(char(value));
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    const QByteArray unpacked = SevenBitCodec::Unpack(data, size);
    FUZZ_CHECK(std::size_t(unpacked.size()) == SevenBitCodec::unpackedLength(size));
    FUZZ_CHECK(unpacked == referenceUnpack(input));

    const QByteArray packed = SevenBitCodec::Pack(data, size);
    FUZZ_CHECK(std::size_t(packed.size()) == SevenBitCodec::packedLength(size));
    for (const char c : packed)
        FUZZ_CHECK((std::uint8_t(c) & 0x80) == 0);   // SysEx-safe
    FUZZ_CHECK(SevenBitCodec::Unpack(packed) == input);
    return 0;
}
