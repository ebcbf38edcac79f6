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
    // The driver is made with the synth's own settings, so that a JACK server running at another
    // sample rate at least brings the synth to its pitch. The song's clock keeps the renderer's
    // rate, so such a server needs SongRenderer::Options::sampleRate set to its rate.
    fluid_settings_t *settings = renderer.fluidSettings();
    if (!settings)
        return false;
    if (!driverName.isEmpty()
        && fluid_settings_setstr(settings, "audio.driver", driverName.toLatin1().constData()) == FLUID_FAILED)
        return false;
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);   // heard without a patch bay
    driver = new_fluid_audio_driver2(settings, &FluidAudioOutput::pull, &renderer);
    if (!driver)
        return false;
    return true;
}

void FluidAudioOutput::stop()
{
    if (driver) {
        delete_fluid_audio_driver(driver);   // joins the driver's thread
        driver = nullptr;
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
