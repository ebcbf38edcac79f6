#pragma once

#include "devices/audio/AudioOutput.h"
#include "devices/audio/SongRenderer.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// Plays one Standard MIDI File at a time through the song renderer and a sound output, with
// length and position in milliseconds. Every operation returns at once; the song plays on the
// audio output's own thread. Results are true for success and false for failure; failures show
// no messages (errorText() says why, for diagnostics).
//
// After a song runs to its end it still counts as playing, so play(), seekTo(), forward() and
// back() behave as for a playing song.
class SongEngine
{
public:
    using OutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

    struct Options
    {
        SongRenderer::Options synth;
        // FluidSynth's audio driver name; empty for ZORVIK_AUDIO_DRIVER, else the first that
        // starts of PipeWire, PulseAudio, JACK, ALSA (AudioDriverChoice).
        QString audioDriver;
        OutputFactory output;    // replaces the audio driver (tests, offline rendering)
    };

    SongEngine();
    explicit SongEngine(Options options);
    ~SongEngine();
    SongEngine(const SongEngine &) = delete;
    SongEngine &operator=(const SongEngine &) = delete;

    // Fails at once when a song is already open, the file is missing or not a playable song,
    // no soundfont can be loaded, or no sound output can be started (soundUnavailable()).
    bool open(const QString &path);
    // As open(), for a song image already in memory (the song of a .csf file).
    bool openImage(const QByteArray &image);
    bool close();
    // Starts, or resumes, at the whole second of the position.
    bool play();
    // Ends the song's sound and goes back to its start; the song stays open.
    bool stop();
    bool pause();

    // The open song's length and the position in it; -1 when no song is open.
    qint64 lengthMs() const;
    qint64 positionMs() const;
    // Moves to a position in the song. A playing song goes on from the whole second of its new
    // place (as play()); a paused or stopped one waits there, and the result is false as it does
    // not play. A target outside the song is refused: the position stays and a playing song
    // goes on from there.
    bool seekTo(qint64 positionMs);
    // Moves by a span from the position, as seekTo(); a target before the start or past the end
    // leaves the position as it is.
    bool forward(qint64 spanMs);
    bool back(qint64 spanMs);

    bool isOpen() const { return opened; }
    bool isPlaying() const { return playing; }
    bool isPaused() const { return paused; }
    QString errorText() const { return error; }
    // The last open() read its song but found no sound to play it with (no soundfont, no audio
    // output); errorText() says why, for the user.
    bool soundUnavailable() const { return noSound; }
    // The length of the song the last open() read, even when it could not be played; -1 when
    // that open() read none.
    qint64 lastReadLengthMs() const { return lastLengthMs; }
    // The sound output the open song plays through ("jack", ...); empty when unnamed.
    QString audioDriverInUse() const { return output ? output->driverName() : QString(); }

    // The open song has run to its end.
    bool isAtEnd() const { return opened && synth->hasEnded(); }
    // The renderer of the open song (null before the first open()); kept between songs so that
    // the soundfont is loaded only once.
    SongRenderer *renderer() const { return synth.get(); }

private:
    bool fail(const QString &why);
    bool openSong(const StandardMidiFile &song);
    bool moveBy(qint64 deltaMs);

    Options options;
    std::unique_ptr<SongRenderer> synth;
    std::unique_ptr<AudioOutput> output;
    bool opened = false;
    bool playing = false;
    bool paused = false;
    bool noSound = false;
    qint64 lastLengthMs = -1;
    QString error;
};
