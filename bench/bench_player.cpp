// The player engine: open-to-first-sound time, and how exactly rendered notes start on the tempo
// map. Each is set against plain FluidSynth doing the same job in the same run.

#include "core/song/SmfBuilder.h"
#include "devices/audio/SongEngine.h"
#include "devices/audio/OfflineAudioOutput.h"
#include "devices/audio/SongRenderer.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr float kThreshold = 0.01f;

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

QString writeSong(const QString &name, const QByteArray &bytes)
{
    const QString path = scratch().filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// A note right at the start: the time to the first sound is all engine.
QString firstNoteSong()
{
    SmfBuilder smf(0, 480);
    const int t = smf.addTrack();
    smf.note(t, 0, 480, 0, 60, 110);
    smf.endOfTrack(t, 960);
    return writeSong("first.mid", smf.build());
}

// The 60 s timing song: wood-block hits on odd ticks under a tempo that changes every 8 beats.
struct TimingSong
{
    QByteArray bytes;
    std::vector<double> onsetsMs;
};

TimingSong timingSong()
{
    const double tempos[] = {100, 137, 73, 120, 91, 155, 84, 111};
    SmfBuilder smf(0, 480);
    const int t = smf.addTrack();
    TimingSong song;
    double segmentMs = 0;
    quint32 segmentTick = 0;
    for (int segment = 0; segmentMs < 60000.0; ++segment) {
        const double bpm = tempos[segment % 8];
        smf.tempoBpm(t, segmentTick, bpm);
        const double usPerQuarter = std::lround(60000000.0 / bpm);
        for (int k = 0; k < 16; ++k) {
            const quint32 offset = quint32(k * 240 + (k % 3) * 7);
            const quint32 tick = segmentTick + offset;
            smf.note(t, tick, 60, 9, 76, 120);
            song.onsetsMs.push_back(segmentMs + offset * usPerQuarter / 480000.0);
        }
        segmentTick += 8 * 480;
        segmentMs += 8 * usPerQuarter / 1000.0;
    }
    smf.endOfTrack(t, segmentTick);
    song.bytes = smf.build();
    return song;
}

fluid_synth_t *bareSynth(fluid_settings_t *settings)
{
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_synth_t *synth = new_fluid_synth(settings);
    fluid_synth_sfload(synth, SongRenderer::findSoundFont().toLocal8Bit().constData(), 1);
    return synth;
}

// Frames from a note-on to its sound crossing the threshold, in a fresh synth: the instrument's
// own attack, which is taken off every measured onset.
int attackFrames()
{
    fluid_settings_t *settings = new_fluid_settings();
    fluid_synth_t *synth = bareSynth(settings);
    fluid_synth_noteon(synth, 9, 76, 120);
    std::vector<float> left(kRate), right(kRate);
    fluid_synth_write_float(synth, kRate, left.data(), 0, 1, right.data(), 0, 1);
    int frame = 0;
    while (frame < kRate && std::fabs(left[std::size_t(frame)]) < kThreshold)
        ++frame;
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return frame;
}

// Onset deviations in ms: for every expected onset, the first crossing within -10..+30 ms.
std::vector<double> deviations(const std::vector<float> &mono, const std::vector<double> &onsetsMs, int attack)
{
    std::vector<double> out;
    for (double ms : onsetsMs) {
        const qint64 expected = qint64(std::llround(ms * kRate / 1000.0)) + attack;
        const qint64 from = std::max<qint64>(0, expected - kRate / 100);
        const qint64 to = std::min<qint64>(qint64(mono.size()), expected + 3 * kRate / 100);
        for (qint64 f = from; f < to; ++f) {
            if (std::fabs(mono[std::size_t(f)]) >= kThreshold) {
                out.push_back(double(f - expected) * 1000.0 / kRate);
                break;
            }
        }
    }
    return out;
}

void report(benchmark::State &state, const std::vector<double> &dev, std::size_t expected)
{
    double worst = 0, sum = 0;
    for (double d : dev) {
        worst = std::max(worst, std::fabs(d));
        sum += std::fabs(d);
    }
    state.counters["onsets_found"] = double(dev.size());
    state.counters["onsets_expected"] = double(expected);
    state.counters["max_dev_ms"] = worst;
    state.counters["mean_dev_ms"] = dev.empty() ? 0 : sum / double(dev.size());
}

// Baseline: plain FluidSynth made from scratch, one note, rendered until it sounds.
void BM_FirstSound_BareFluidSynth(benchmark::State &state)
{
    for (auto _ : state) {
        fluid_settings_t *settings = new_fluid_settings();
        fluid_synth_t *synth = bareSynth(settings);
        fluid_synth_noteon(synth, 0, 60, 110);
        float left[64], right[64], peak = 0;
        while (peak < kThreshold) {
            fluid_synth_write_float(synth, 64, left, 0, 1, right, 0, 1);
            for (float s : left)
                peak = std::max(peak, std::fabs(s));
        }
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
}
BENCHMARK(BM_FirstSound_BareFluidSynth)->Unit(benchmark::kMillisecond);

void openPlayUntilSound(SongEngine &engine, OfflineAudioOutput *&audio, const QString &path)
{
    engine.open(path);
    engine.play();
    while (audio && audio->pull(64) < kThreshold) {
    }
}

// A new engine for every song: the soundfont is loaded each time.
void BM_FirstSound_EngineCold(benchmark::State &state)
{
    const QString path = firstNoteSong();
    for (auto _ : state) {
        OfflineAudioOutput *audio = nullptr;
        SongEngine::Options options;
        options.output = [&audio] {
            auto output = std::make_unique<OfflineAudioOutput>();
            audio = output.get();
            return output;
        };
        SongEngine engine(options);
        openPlayUntilSound(engine, audio, path);
    }
}
BENCHMARK(BM_FirstSound_EngineCold)->Unit(benchmark::kMillisecond);

// The player's case: one engine, song after song.
void BM_FirstSound_EngineWarm(benchmark::State &state)
{
    const QString path = firstNoteSong();
    OfflineAudioOutput *audio = nullptr;
    SongEngine::Options options;
    options.output = [&audio] {
        auto output = std::make_unique<OfflineAudioOutput>();
        audio = output.get();
        return output;
    };
    SongEngine engine(options);
    engine.open(path);
    engine.close();
    for (auto _ : state) {
        openPlayUntilSound(engine, audio, path);
        engine.close();
    }
}
BENCHMARK(BM_FirstSound_EngineWarm)->Unit(benchmark::kMicrosecond);

// Baseline: FluidSynth's own file player rendering the timing song offline.
void BM_Onsets_FluidPlayer(benchmark::State &state)
{
    const TimingSong song = timingSong();
    const int attack = attackFrames();
    std::vector<double> dev;
    for (auto _ : state) {
        fluid_settings_t *settings = new_fluid_settings();
        fluid_settings_setstr(settings, "player.timing-source", "sample");
        fluid_synth_t *synth = bareSynth(settings);
        fluid_player_t *player = new_fluid_player(synth);
        fluid_player_add_mem(player, song.bytes.constData(), std::size_t(song.bytes.size()));
        fluid_player_play(player);
        const std::size_t frames = std::size_t(std::lround((song.onsetsMs.back() + 500) * kRate / 1000.0));
        std::vector<float> mono(frames), right(frames);
        for (std::size_t f = 0; f < frames; f += 64) {
            const int n = int(std::min<std::size_t>(64, frames - f));
            fluid_synth_write_float(synth, n, mono.data() + f, 0, 1, right.data() + f, 0, 1);
        }
        delete_fluid_player(player);
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        dev = deviations(mono, song.onsetsMs, attack);
    }
    report(state, dev, song.onsetsMs.size());
}
BENCHMARK(BM_Onsets_FluidPlayer)->Unit(benchmark::kMillisecond)->Iterations(1);

// The engine rendering the same song offline through its sequencer.
void BM_Onsets_Engine(benchmark::State &state)
{
    const TimingSong song = timingSong();
    const QString path = writeSong("timing.mid", song.bytes);
    const int attack = attackFrames();
    std::vector<double> dev;
    for (auto _ : state) {
        OfflineAudioOutput *audio = nullptr;
        SongEngine::Options options;
        options.synth.effects = false;
        options.output = [&audio] {
            auto output = std::make_unique<OfflineAudioOutput>();
            audio = output.get();
            return output;
        };
        SongEngine engine(options);
        engine.open(path);
        engine.play();
        const std::size_t frames = std::size_t(std::lround((song.onsetsMs.back() + 500) * kRate / 1000.0));
        std::vector<float> mono;
        mono.reserve(frames);
        while (mono.size() < frames) {
            audio->pull(4096);
            const auto &samples = audio->lastAudio();
            for (std::size_t i = 0; i < samples.size(); i += 2)
                mono.push_back(samples[i]);
        }
        dev = deviations(mono, song.onsetsMs, attack);
    }
    report(state, dev, song.onsetsMs.size());
}
BENCHMARK(BM_Onsets_Engine)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
