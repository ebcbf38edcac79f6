#include "devices/audio/FluidAudioOutput.h"

#include "devices/audio/AudioDriverChoice.h"
#include "devices/audio/SongRenderer.h"
#include "devices/midi/SoundLibraries.h"

#include <fluidsynth.h>

#ifdef ZORVIK_HAVE_JACK
#include <jack/jack.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// While a driver is being tried, FluidSynth's complaints on this thread are kept as the reason
// it failed instead of going to stderr; at other times they go where they went before.
constexpr int logLevels = FLUID_DBG + 1;
thread_local QString *failureReason = nullptr;
std::array<fluid_log_function_t, logLevels> previousLog{};

// A dense song (thousands of notes at once) makes FluidSynth say for every note it cannot
// sound that it ran out of voices: hundreds of thousands of lines. They are one fact for the
// user, said once per play.
std::atomic_bool droppedNotesSaid{false};

bool isDroppedNote(const char *message)
{
    static constexpr const char *marks[] = {"polyphony", "Failed to allocate a synthesis process", "Killing voice",
                                            "Ringbuffer full"};
    return std::any_of(std::begin(marks), std::end(marks),
                       [message](const char *mark) { return std::strstr(message, mark) != nullptr; });
}

void logged(int level, const char *message, void *)
{
    if (message && level >= FLUID_WARN && isDroppedNote(message)) {
        if (!droppedNotesSaid.exchange(true)) {
            std::fprintf(stderr, "Some notes were dropped: the song has more notes sounding at once than the "
                                 "synthesizer can play.\n");
            std::fflush(stderr);
        }
        return;
    }
    if (failureReason) {
        // The last error says most; a warning only when there is nothing better.
        if (message && (level <= FLUID_ERR || (level == FLUID_WARN && failureReason->isEmpty())))
            *failureReason = QString::fromUtf8(message);
        return;
    }
    if (level >= 0 && level < logLevels && previousLog[std::size_t(level)])
        previousLog[std::size_t(level)](level, message, nullptr);
}

// Trying a driver that cannot start is normal here: the sound libraries' own reports of it
// (ALSA's missing device, JACK's missing server) are silenced once for the process.
void quietSoundLibraries()
{
    SoundLibraries::silenceErrorOutput();
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = 0; level < logLevels; ++level)
            previousLog[std::size_t(level)] = fluid_set_log_function(level, logged, nullptr);
    });
}

class FailureCapture
{
public:
    explicit FailureCapture(QString *reason) { failureReason = reason; }
    ~FailureCapture() { failureReason = nullptr; }
    FailureCapture(const FailureCapture &) = delete;
    FailureCapture &operator=(const FailureCapture &) = delete;
};

} // namespace

FluidAudioOutput::FluidAudioOutput(const QString &wanted) : wantedName(wanted) {}

FluidAudioOutput::~FluidAudioOutput()
{
    stop();
}

int FluidAudioOutput::jackServerRate()
{
#ifdef ZORVIK_HAVE_JACK
    quietSoundLibraries();
    // Never start a server: one that is not running is not the user's sound output, and starting
    // one takes seconds and may take the sound card from the desktop.
    jack_status_t status{};
    jack_client_t *client = jack_client_open("Zorvik Halden probe", JackNoStartServer, &status);
    if (!client)
        return 0;
    const int rate = int(jack_get_sample_rate(client));
    jack_client_close(client);
    return rate;
#else
    return -1;
#endif
}

bool FluidAudioOutput::start(SongRenderer &renderer)
{
    stop();
    quietSoundLibraries();
    droppedNotesSaid = false;
    inUse.clear();
    error.clear();
    QString problem;
    const QStringList drivers =
        AudioDriverChoice::plan(AudioDriverChoice::offered(), AudioDriverChoice::wanted(wantedName), &problem);
    if (drivers.isEmpty()) {
        error = problem;
        return false;
    }
    QList<AudioDriverChoice::Attempt> attempts;
    for (const QString &name : drivers) {
        QString why;
        if (startDriver(name, renderer, &why)) {
            inUse = name;
            return true;
        }
        attempts.append({name, why});
    }
    error = AudioDriverChoice::failureMessage(attempts);
    return false;
}

bool FluidAudioOutput::startDriver(const QString &name, SongRenderer &renderer, QString *why)
{
    // The synth runs at the output's rate, so the song keeps its tempo and pitch: a JACK server
    // has its own rate; the other drivers take the renderer's and convert it if they must.
    int rate = renderer.preferredSampleRate();
    if (name == QLatin1String("jack")) {
        const int serverRate = jackServerRate();
        if (serverRate == 0) {
            *why = QStringLiteral("no JACK server is running");
            return false;
        }
        if (serverRate > 0)
            rate = serverRate;
    }
    if (!renderer.setSampleRate(rate)) {
        *why = renderer.errorText();
        return false;
    }
    fluid_settings_t *settings = renderer.fluidSettings();
    if (!settings) {
        *why = QStringLiteral("the synthesizer is not ready");
        return false;
    }
    if (fluid_settings_setstr(settings, "audio.driver", name.toLatin1().constData()) == FLUID_FAILED) {
        *why = QStringLiteral("this FluidSynth does not offer it");
        return false;
    }
    // Heard without a patch bay: the player's ports are connected to the playback ports.
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
    fluid_settings_setstr(settings, "audio.jack.id", jackClientName);
    {
        const FailureCapture capture(why);
        driver = new_fluid_audio_driver2(settings, &FluidAudioOutput::pull, &renderer);
    }
    if (!driver) {
        if (why->isEmpty())
            *why = QStringLiteral("it did not start");
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
}

int FluidAudioOutput::pull(void *data, int len, int nfx, float *fx[], int nout, float *out[])
{
    (void)nfx;
    (void)fx;
    if (nout >= 2)
        static_cast<SongRenderer *>(data)->render(out[0], out[1], len);
    return FLUID_OK;
}
