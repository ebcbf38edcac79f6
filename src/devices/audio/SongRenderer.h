#pragma once

#include "core/song/StandardMidiFile.h"

#include <QString>

#include <mutex>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

// Renders the open song through a FluidSynth synthesizer. The song's position is the number of
// frames rendered while running, so it is exact to the tempo map whoever pulls the audio: the
// audio driver's thread, or a test or benchmark rendering offline. Events are sent to the synth
// at the 64-frame block nearest to their time (within 0.73 ms at 44.1 kHz).
//
// Halting (pause, stop, seek, close) resets the synth: every voice on every channel stops at once
// and the effects are cleared, so no note can hang and nothing rings on. Starting again replays the programs and
// controllers that precede the position.
//
// All members may be called from any thread; one mutex guards the synth and the song.
class SongRenderer
{
public:
    struct Options
    {
        QString soundFont;          // empty: the first of defaultSoundFonts() that exists
        int sampleRate = 44100;
        bool effects = true;        // reverb and chorus
    };

    static constexpr int blockFrames = 64;
    static constexpr int fadeBlocks = 3;

    static QStringList defaultSoundFonts();
    static QString findSoundFont();

    explicit SongRenderer(const Options &options);
    ~SongRenderer();
    SongRenderer(const SongRenderer &) = delete;
    SongRenderer &operator=(const SongRenderer &) = delete;

    // False when no synthesizer could be made or the soundfont could not be loaded.
    bool isReady() const { return ready; }
    QString errorText() const { return error; }
    int sampleRate() const { return rate; }
    // The rate of the options, which outputs that take any rate use.
    int preferredSampleRate() const { return preferredRate; }
    // Makes the synth anew at another rate (an output that runs at its own rate, as a JACK
    // server does), keeping the song and its position in time. Only while no output pulls.
    // False when the new synth is not ready.
    bool setSampleRate(int sampleRate);

    // Replaces the song; the new one is halted at its start.
    void setSong(const StandardMidiFile &song);
    void clearSong();

    qint64 lengthMs() const;
    qint64 positionMs() const;
    qint64 positionFrames() const;
    bool isRunning() const;
    // The song ran to its end (and has not been moved since).
    bool hasEnded() const;
    // Moves to ms; refused (false) past the end of the song. Does not change running.
    bool seekMs(qint64 ms);
    // Replays programs and controllers before the position and lets the song advance.
    void start();
    // Stops the song advancing and silences everything at once.
    void halt();

    // Writes frames of stereo audio (silence when nothing sounds).
    void render(float *left, float *right, int frames);

    // The settings the synth was made with, for the audio driver.
    fluid_settings_t *fluidSettings() const { return settings; }

private:
    struct Timed
    {
        double ms;
        qint64 frame;
        quint8 status;
        quint8 data1;
        quint8 data2;
        QByteArray sysEx;
    };

    void build();
    void release();
    void send(const Timed &event);
    void silence();
    void chase();
    void renderBlock();
    qint64 framesFor(double ms) const;

    mutable std::mutex lock;
    QString soundFontPath;
    bool effects = true;
    int preferredRate = 44100;
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    bool ready = false;
    QString error;
    int rate = 44100;

    std::vector<Timed> events;
    std::size_t next = 0;
    qint64 endMs = 0;
    qint64 endFrame = 0;
    qint64 position = 0;
    bool running = false;
    bool ended = false;

    float blockLeft[blockFrames] = {};
    float blockRight[blockFrames] = {};
    int blockUsed = blockFrames;
};
