// CsfSongImage::extract: any .csf file either has no song, with a reason, or a song image that
// lies inside the file where it says, starts with its header chunk and ends with a whole track.
#include "FuzzSupport.h"

#include "core/song/CsfSongImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray csf(reinterpret_cast<const char *>(data), qsizetype(size));
    const CsfSongImage::Result result = CsfSongImage::extract(csf);
    if (!result.ok) {
        FUZZ_CHECK(!result.message.isEmpty());
        return 0;
    }
    FUZZ_CHECK(result.offset >= 0);
    FUZZ_CHECK(result.offset + result.image.size() <= csf.size());
    FUZZ_CHECK(csf.mid(result.offset, result.image.size()) == result.image);
    FUZZ_CHECK(result.image.startsWith("MThd"));
    FUZZ_CHECK(result.image.size() >= 14 + 8);   // a header and at least one track chunk
    return 0;
}
