#include "devices/audio/SongRenderer.h"

#include <QFileInfo>
#include <QStringList>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>

QStringList SongRenderer::defaultSoundFonts()
{
    return {QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2")};
}

QString SongRenderer::findSoundFont()
{
    for (const QString &path : defaultSoundFonts()) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

SongRenderer::SongRenderer(const Options &options)
    : effects(options.effects), preferredRate(options.sampleRate), rate(options.sampleRate)
{
    soundFontPath = options.soundFont.isEmpty() ? findSoundFont() : options.soundFont;
    build();
}

SongRenderer::~SongRenderer()
{
    release();
}

void SongRenderer::build()
{
    ready = false;
    error.clear();
    if (soundFontPath.isEmpty() || !QFileInfo(soundFontPath).isFile()) {
        error = soundFontPath.isEmpty() ? QStringLiteral("No General MIDI soundfont is installed.")
                                        : QStringLiteral("The soundfont %1 does not exist.").arg(soundFontPath);
        return;
    }
    settings = new_fluid_settings();
    if (!settings) {
        error = QStringLiteral("The synthesizer cannot be set up.");
        return;
    }
    fluid_settings_setnum(settings, "synth.sample-rate", rate);
    fluid_settings_setint(settings, "synth.reverb.active", effects ? 1 : 0);
    fluid_settings_setint(settings, "synth.chorus.active", effects ? 1 : 0);
    // Rendering happens in the caller's thread, so the synth needs no threads of its own.
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    synth = new_fluid_synth(settings);
    if (!synth) {
        error = QStringLiteral("The synthesizer cannot be created.");
        return;
    }
    if (fluid_synth_sfload(synth, soundFontPath.toLocal8Bit().constData(), 1) == FLUID_FAILED) {
        error = QStringLiteral("The soundfont %1 cannot be loaded.").arg(soundFontPath);
        return;
    }
    ready = true;
}

void SongRenderer::release()
{
    if (synth)
        delete_fluid_synth(synth);
    if (settings)
        delete_fluid_settings(settings);
    synth = nullptr;
    settings = nullptr;
    ready = false;
}

bool SongRenderer::setSampleRate(int sampleRate)
{
    std::lock_guard guard(lock);
    if (sampleRate <= 0)
        return false;
    if (sampleRate == rate)
        return ready;
    const qint64 positionMs = position * 1000 / rate;
    release();
    rate = sampleRate;
    build();
    // The song keeps its times; only the frames they fall on change.
    for (Timed &e : events)
        e.frame = framesFor(e.ms);
    endFrame = endMs * rate / 1000;
    position = std::min(endFrame, positionMs * rate / 1000);
    blockUsed = blockFrames;
    if (running && ready)
        chase();
    return ready;
}

qint64 SongRenderer::framesFor(double ms) const
{
    return qint64(std::llround(ms * rate / 1000.0));
}

void SongRenderer::setSong(const StandardMidiFile &song)
{
    std::lock_guard guard(lock);
    events.clear();
    for (const StandardMidiFile::Event &e : song.events()) {
        if (e.isChannel())
            events.push_back({e.ms, framesFor(e.ms), e.status, e.data1, e.data2, {}});
        else if (e.status == 0xF0)
            events.push_back({e.ms, framesFor(e.ms), e.status, 0, 0, e.data});
    }
    // Integer milliseconds so that a seek to the end is exactly the end.
    endMs = qint64(std::floor(song.lengthMs()));
    endFrame = endMs * rate / 1000;
    position = 0;
    next = 0;
    running = false;
    ended = false;
    silence();
}

void SongRenderer::clearSong()
{
    std::lock_guard guard(lock);
    events.clear();
    endMs = endFrame = position = 0;
    next = 0;
    running = ended = false;
    silence();
}

qint64 SongRenderer::lengthMs() const
{
    std::lock_guard guard(lock);
    return endFrame * 1000 / rate;
}

qint64 SongRenderer::positionMs() const
{
    std::lock_guard guard(lock);
    return position * 1000 / rate;
}

qint64 SongRenderer::positionFrames() const
{
    std::lock_guard guard(lock);
    return position;
}

bool SongRenderer::isRunning() const
{
    std::lock_guard guard(lock);
    return running;
}

bool SongRenderer::hasEnded() const
{
    std::lock_guard guard(lock);
    return ended;
}

bool SongRenderer::seekMs(qint64 ms)
{
    std::lock_guard guard(lock);
    const qint64 frame = ms * rate / 1000;
    if (ms < 0 || frame > endFrame)
        return false;
    position = frame;
    ended = false;
    next = std::size_t(std::lower_bound(events.begin(), events.end(), frame,
                                        [](const Timed &e, qint64 f) { return e.frame < f; })
                       - events.begin());
    if (running)
        chase();   // a seek of a running song must not carry notes along
    return true;
}

void SongRenderer::start()
{
    std::lock_guard guard(lock);
    if (running || !ready)
        return;
    chase();
    running = true;
}

void SongRenderer::chase()
{
    // The sound of the channels at the position, without the notes that started earlier.
    silence();
    for (std::size_t i = 0; i < next; ++i) {
        const int kind = events[i].status & 0xF0;
        if (kind != 0x80 && kind != 0x90 && kind != 0xA0)
            send(events[i]);
    }
}

void SongRenderer::halt()
{
    std::lock_guard guard(lock);
    running = false;
    silence();
}

void SongRenderer::silence()
{
    if (synth) {
        // In this order: a reset alone leaves voices sounding, sounds-off alone leaves the
        // reverb and chorus ringing.
        fluid_synth_system_reset(synth);
        fluid_synth_all_sounds_off(synth, -1);
        // The synth fades killed voices out over a few milliseconds to avoid a click; that fade
        // is rendered here and dropped, so the next frame heard is silent.
        for (int i = 0; i < fadeBlocks; ++i)
            fluid_synth_write_float(synth, blockFrames, blockLeft, 0, 1, blockRight, 0, 1);
    }
    // Audio rendered before the reset must not be played after it.
    std::fill(std::begin(blockLeft), std::end(blockLeft), 0.0f);
    std::fill(std::begin(blockRight), std::end(blockRight), 0.0f);
    blockUsed = blockFrames;
}

void SongRenderer::send(const Timed &e)
{
    const int channel = e.status & 0x0F;
    switch (e.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth, channel, e.data1); break;
    case 0x90:
        if (e.data2 == 0)
            fluid_synth_noteoff(synth, channel, e.data1);
        else
            fluid_synth_noteon(synth, channel, e.data1, e.data2);
        break;
    case 0xA0: fluid_synth_key_pressure(synth, channel, e.data1, e.data2); break;
    case 0xB0: fluid_synth_cc(synth, channel, e.data1, e.data2); break;
    case 0xC0: fluid_synth_program_change(synth, channel, e.data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth, channel, e.data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, e.data1 | (e.data2 << 7)); break;
    default:
        if (e.status == 0xF0 && !e.sysEx.isEmpty())
            fluid_synth_sysex(synth, e.sysEx.constData(), int(e.sysEx.size()), nullptr, nullptr, nullptr, 0);
        break;
    }
}

void SongRenderer::renderBlock()
{
    if (running && !ended) {
        // Events due before the middle of this block start with it.
        const qint64 due = position + blockFrames / 2;
        while (next < events.size() && events[next].frame < due)
            send(events[next++]);
    }
    fluid_synth_write_float(synth, blockFrames, blockLeft, 0, 1, blockRight, 0, 1);
    blockUsed = 0;
}

void SongRenderer::render(float *left, float *right, int frames)
{
    std::lock_guard guard(lock);
    if (!ready) {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
        return;
    }
    int done = 0;
    while (done < frames) {
        if (blockUsed == blockFrames)
            renderBlock();
        const int count = std::min(frames - done, blockFrames - blockUsed);
        std::copy_n(blockLeft + blockUsed, count, left + done);
        std::copy_n(blockRight + blockUsed, count, right + done);
        blockUsed += count;
        done += count;
        if (running && !ended) {
            position += count;
            if (position >= endFrame) {
                position = endFrame;
                ended = true;
                while (next < events.size())   // the note-offs at the very end
                    send(events[next++]);
                fluid_synth_all_notes_off(synth, -1);   // a song may end with notes still held
            }
        }
    }
}
