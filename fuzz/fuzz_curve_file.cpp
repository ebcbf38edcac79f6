// CurveFile::parse: any file is either refused with a message or read into a curve whose values
// are all velocities; an accepted file writes back byte for byte.
#include "FuzzSupport.h"

#include "core/curve/CurveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const CurveFile::Result result = CurveFile::parse(bytes, QStringLiteral("fuzz.crv"));
    if (!result.ok) {
        FUZZ_CHECK(!result.message.isEmpty());
        return 0;
    }
    FUZZ_CHECK(size == std::size_t(CurveFile::fileSize));
    for (const auto value : result.contents.map)
        FUZZ_CHECK(value >= 0 && value <= 127);
    for (int k = 0; k < VelocityCurve::pointCount; ++k) {
        FUZZ_CHECK(result.contents.curve.keySource[std::size_t(k)] >= 0);
        FUZZ_CHECK(result.contents.curve.keySource[std::size_t(k)] <= 127);
        FUZZ_CHECK(result.contents.curve.keyNew[std::size_t(k)] >= 0);
        FUZZ_CHECK(result.contents.curve.keyNew[std::size_t(k)] <= 127);
    }
    FUZZ_CHECK(CurveFile::serialize(result.contents) == bytes);
    return 0;
}
