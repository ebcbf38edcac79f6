#pragma once

#include "player/AudioOutput.h"

#include <QString>

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

// Plays through one of FluidSynth's audio drivers ("alsa", "pulseaudio", "jack", ...; empty for
// FluidSynth's default). The driver's thread pulls the audio from the renderer.
class FluidAudioOutput : public AudioOutput
{
public:
    explicit FluidAudioOutput(const QString &driver = {});
    ~FluidAudioOutput() override;

    bool start(SongRenderer &renderer) override;
    void stop() override;

private:
    static int pull(void *data, int len, int nfx, float *fx[], int nout, float *out[]);

    QString driverName;
    fluid_audio_driver_t *driver = nullptr;
};
