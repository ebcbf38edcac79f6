#include "player/FluidAudioOutput.h"

#include "player/SongRenderer.h"

#include <fluidsynth.h>

FluidAudioOutput::FluidAudioOutput(const QString &driver) : driverName(driver) {}

FluidAudioOutput::~FluidAudioOutput()
{
    stop();
}

bool FluidAudioOutput::start(SongRenderer &renderer)
{
    stop();
    settings = new_fluid_settings();
    if (!settings)
        return false;
    fluid_settings_setnum(settings, "synth.sample-rate", renderer.sampleRate());
    if (!driverName.isEmpty()
        && fluid_settings_setstr(settings, "audio.driver", driverName.toLatin1().constData()) == FLUID_FAILED) {
        stop();
        return false;
    }
    driver = new_fluid_audio_driver2(settings, &FluidAudioOutput::pull, &renderer);
    if (!driver) {
        stop();
        return false;
    }
    return true;
}

void FluidAudioOutput::stop()
{
    if (driver) {
        delete_fluid_audio_driver(driver);   // joins the driver's thread
        driver = nullptr;
    }
    if (settings) {
        delete_fluid_settings(settings);
        settings = nullptr;
    }
}

int FluidAudioOutput::pull(void *data, int len, int nfx, float *fx[], int nout, float *out[])
{
    (void)nfx;
    (void)fx;
    if (nout >= 2)
        static_cast<SongRenderer *>(data)->render(out[0], out[1], len);
    return FLUID_OK;
}
