#pragma once

#include "devices/audio/AudioOutput.h"

#include <QString>

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

// Plays through one of FluidSynth's audio drivers: the one named ("pulseaudio", "jack", ...), or
// the first that starts in the usual order (AudioDriverChoice). The driver's thread pulls the
// audio from the renderer. Drivers that cannot start say why in errorText(), not on stderr.
class FluidAudioOutput : public AudioOutput
{
public:
    // The name of the player's JACK client, whose ports are connected to the playback ports.
    static constexpr const char *jackClientName = "Zorvik Halden player";

    // wanted: a FluidSynth audio driver name; empty for --audio-driver's absence, that is the
    // environment's ZORVIK_AUDIO_DRIVER or else the usual order.
    explicit FluidAudioOutput(const QString &wanted = {});
    ~FluidAudioOutput() override;

    bool start(SongRenderer &renderer) override;
    void stop() override;
    QString errorText() const override { return error; }
    // The driver that started; empty when none did.
    QString driverName() const override { return inUse; }

    // The sample rate of the JACK server that runs, without starting one; 0 when none runs,
    // -1 when this build cannot ask.
    static int jackServerRate();

private:
    bool startDriver(const QString &name, SongRenderer &renderer, QString *why);
    static int pull(void *data, int len, int nfx, float *fx[], int nout, float *out[]);

    QString wantedName;
    QString inUse;
    QString error;
    fluid_audio_driver_t *driver = nullptr;
};
