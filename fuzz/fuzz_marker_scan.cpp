// MarkerScan::markers: any song file gives a list of texts without reading past the end; every
// marker costs at least its two event bytes, and the texts together are no longer than the file.
#include "FuzzSupport.h"

#include "core/song/MarkerScan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList markers = MarkerScan::markers(file);
    FUZZ_CHECK(std::size_t(markers.size()) * 2 <= size);
    std::size_t characters = 0;
    for (const QString &text : markers)
        characters += std::size_t(text.size());
    FUZZ_CHECK(characters <= size);

    const QStringList lines = MarkerScan::lines(file);
    FUZZ_CHECK(lines.size() == markers.size() + 2);
    return 0;
}
