// StandardMidiFile::parse: any song file is either refused with a reason or read into events in
// time order whose payloads come from the file, with a finite, non-negative song length.
#include "FuzzSupport.h"

#include "core/song/StandardMidiFile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    StandardMidiFile song;
    const StandardMidiFile::Result result = song.parse(bytes);
    if (!result.ok) {
        FUZZ_CHECK(!result.message.isEmpty());
        return 0;
    }
    FUZZ_CHECK(song.format() == 0 || song.format() == 1);
    FUZZ_CHECK(song.trackCount() >= 0);
    std::size_t payload = 0;
    double lastMs = 0.0;
    for (const auto &event : song.events()) {
        FUZZ_CHECK(std::isfinite(event.ms) && event.ms >= 0.0);
        FUZZ_CHECK(event.ms >= lastMs);
        lastMs = event.ms;
        FUZZ_CHECK(event.track >= 0 && event.track < song.trackCount());
        payload += std::size_t(event.data.size());
    }
    FUZZ_CHECK(payload <= size);
    FUZZ_CHECK(std::isfinite(song.lengthMs()) && song.lengthMs() >= 0.0);
    return 0;
}
