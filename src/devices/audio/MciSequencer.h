#pragma once

#include "devices/audio/AudioOutput.h"
#include "devices/audio/SongRenderer.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// Plays one Standard MIDI File at a time and reports length and position in whole minutes and
// seconds. Every operation returns at once; the song plays on the audio output's own thread.
// Results are true for success and false for failure; failures show no messages (errorText()
// says why, for diagnostics).
//
// After a song runs to its end it still counts as playing, so Play, SeekTo, Forward and Back
// behave as for a playing song.
class MciSequencer
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

    MciSequencer();
    explicit MciSequencer(Options options);
    ~MciSequencer();
    MciSequencer(const MciSequencer &) = delete;
    MciSequencer &operator=(const MciSequencer &) = delete;

    // Fails at once when a song is already open, the file is missing or not a playable song,
    // no soundfont can be loaded, or no sound output can be started (soundUnavailable()).
    bool Open(const QString &path);
    // As Open, for a song image already in memory (the song of a .csf file).
    bool OpenImage(const QByteArray &image);
    bool Close();
    bool Play();
    bool Stop();
    bool Pause();
    void GetLength(int &minutes, int &seconds) const;
    void GetPosition(int &minutes, int &seconds) const;
    bool SeekTo(int minutes, int seconds);
    bool Forward(int seconds);
    bool Back(int seconds);

    bool isOpen() const { return opened; }
    bool isPlaying() const { return playing; }
    bool isPaused() const { return paused; }
    QString errorText() const { return error; }
    // The last Open read its song but found no sound to play it with (no soundfont, no audio
    // output); errorText() says why, for the user.
    bool soundUnavailable() const { return noSound; }
    // The length of the song the last Open read, even when it could not be played; -1 when
    // that Open read none.
    qint64 songLengthMs() const { return lastLengthMs; }
    // The sound output the open song plays through ("jack", ...); empty when unnamed.
    QString audioDriverInUse() const { return output ? output->driverName() : QString(); }

    // Position in milliseconds, for callers that need more than whole seconds; -1 when closed.
    qint64 positionMs() const;
    // The open song has run to its end.
    bool isAtEnd() const { return opened && synth->hasEnded(); }
    // The renderer of the open song (null before the first Open); kept between songs so that
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
