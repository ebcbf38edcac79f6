#include "devices/audio/OfflineAudioOutput.h"

#include "devices/audio/SongRenderer.h"

#include <algorithm>
#include <cmath>

bool OfflineAudioOutput::start(SongRenderer &renderer)
{
    if (failing)
        return false;
    source = &renderer;
    return true;
}

void OfflineAudioOutput::stop()
{
    source = nullptr;
}

float OfflineAudioOutput::pull(int frames)
{
    audio.assign(std::size_t(std::max(0, frames)) * 2, 0.0f);
    if (!source || frames <= 0)
        return 0.0f;
    std::vector<float> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
    source->render(left.data(), right.data(), frames);
    float peak = 0.0f;
    for (int i = 0; i < frames; ++i) {
        audio[std::size_t(2 * i)] = left[std::size_t(i)];
        audio[std::size_t(2 * i + 1)] = right[std::size_t(i)];
        peak = std::max({peak, std::fabs(left[std::size_t(i)]), std::fabs(right[std::size_t(i)])});
    }
    return peak;
}

float OfflineAudioOutput::pullMs(int ms)
{
    if (!source)
        return 0.0f;
    qint64 frames = qint64(ms) * source->sampleRate() / 1000;
    float peak = 0.0f;
    while (frames > 0) {
        const int step = int(std::min<qint64>(frames, 4096));
        peak = std::max(peak, pull(step));
        frames -= step;
    }
    return peak;
}
