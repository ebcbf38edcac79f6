#pragma once

#include "devices/audio/AudioOutput.h"

#include <vector>

// An output without a device: audio advances only when pull() is called, so tests and benchmarks
// drive the song's clock themselves and can look at every sample.
class OfflineAudioOutput : public AudioOutput
{
public:
    // failing: behave like a machine without a sound device.
    explicit OfflineAudioOutput(bool failsToStart = false) : failing(failsToStart) {}

    bool start(SongRenderer &renderer) override;
    void stop() override;

    bool isStarted() const { return source != nullptr; }
    // Renders frames of audio; returns the peak absolute sample (0 when not started).
    float pull(int frames);
    // Renders ms milliseconds of audio in small steps; returns their peak.
    float pullMs(int ms);

    // Left and right samples of the last pull, interleaved.
    const std::vector<float> &lastAudio() const { return audio; }

private:
    bool failing;
    SongRenderer *source = nullptr;
    std::vector<float> audio;
};
