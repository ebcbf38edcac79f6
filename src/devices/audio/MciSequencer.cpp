#include "devices/audio/MciSequencer.h"

#include "devices/audio/FluidAudioOutput.h"

#include <QFileInfo>

namespace {

void split(qint64 ms, int &minutes, int &seconds)
{
    const qint64 whole = ms / 1000;
    minutes = int(whole / 60);
    seconds = int(whole % 60);
}

} // namespace

MciSequencer::MciSequencer() : MciSequencer(Options{}) {}

MciSequencer::MciSequencer(Options options) : options(std::move(options)) {}

MciSequencer::~MciSequencer()
{
    Close();
}

bool MciSequencer::fail(const QString &why)
{
    error = why;
    return false;
}

bool MciSequencer::Open(const QString &path)
{
    if (opened)
        return fail(QStringLiteral("A song is already open."));
    playing = paused = noSound = false;
    lastLengthMs = -1;
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("%1 does not exist.").arg(path));
    StandardMidiFile song;
    const StandardMidiFile::Result read = song.load(path);
    if (!read.ok)
        return fail(read.message);
    return openSong(song);
}

bool MciSequencer::OpenImage(const QByteArray &image)
{
    if (opened)
        return fail(QStringLiteral("A song is already open."));
    playing = paused = noSound = false;
    lastLengthMs = -1;
    StandardMidiFile song;
    const StandardMidiFile::Result read = song.parse(image);
    if (!read.ok)
        return fail(read.message);
    return openSong(song);
}

bool MciSequencer::openSong(const StandardMidiFile &song)
{
    lastLengthMs = qint64(song.lengthMs());
    // The soundfont is loaded on the first Open only: later songs start without that wait.
    if (!synth || !synth->isReady())
        synth = std::make_unique<SongRenderer>(options.synth);
    if (!synth->isReady()) {
        noSound = true;
        return fail(synth->errorText());
    }
    synth->setSong(song);
    output = options.output ? options.output() : std::make_unique<FluidAudioOutput>(options.audioDriver);
    if (!output || !output->start(*synth)) {
        const QString why = output ? output->errorText() : QString();
        output.reset();
        synth->clearSong();
        noSound = true;
        return fail(why.isEmpty() ? QStringLiteral("No sound output could be started, so the song cannot be heard.")
                                  : why);
    }
    opened = true;
    error.clear();
    return true;
}

bool MciSequencer::Close()
{
    if (!opened)
        return fail(QStringLiteral("No song is open."));
    synth->halt();
    output->stop();
    output.reset();
    synth->clearSong();
    opened = playing = paused = false;
    return true;
}

bool MciSequencer::Play()
{
    if (!opened)
        return fail(QStringLiteral("No song is open."));
    // Play starts at the whole second of the position, as the position is reported.
    int minutes = 0, seconds = 0;
    GetPosition(minutes, seconds);
    synth->halt();
    synth->seekMs((qint64(minutes) * 60 + seconds) * 1000);
    synth->start();
    paused = false;
    playing = true;
    return true;
}

bool MciSequencer::Stop()
{
    if (!opened || !playing)
        return fail(QStringLiteral("No song is playing."));
    synth->halt();
    synth->seekMs(0);
    playing = paused = false;
    return true;
}

bool MciSequencer::Pause()
{
    if (!opened || !playing)
        return fail(QStringLiteral("No song is playing."));
    synth->halt();
    paused = true;
    return true;
}

void MciSequencer::GetLength(int &minutes, int &seconds) const
{
    minutes = seconds = -1;
    if (opened)
        split(synth->lengthMs(), minutes, seconds);
}

void MciSequencer::GetPosition(int &minutes, int &seconds) const
{
    minutes = seconds = -1;
    if (opened)
        split(synth->positionMs(), minutes, seconds);
}

qint64 MciSequencer::positionMs() const
{
    return opened ? synth->positionMs() : -1;
}

bool MciSequencer::SeekTo(int minutes, int seconds)
{
    if (!opened)
        return fail(QStringLiteral("No song is open."));
    const qint64 target = (qint64(minutes) * 60 + seconds) * 1000;
    const bool running = playing && !paused;
    if (running)
        synth->halt();
    const bool moved = synth->seekMs(target);
    if (running) {
        // A refused target resumes the song where it was: it never stays silent while it
        // counts as playing.
        const bool resumed = Play();
        return moved ? resumed : fail(QStringLiteral("The position is outside the song."));
    }
    return fail(moved ? QStringLiteral("The song is not playing; it waits at the new position.")
                      : QStringLiteral("The position is outside the song."));
}

bool MciSequencer::Forward(int seconds)
{
    return moveBy(qint64(seconds) * 1000);
}

bool MciSequencer::Back(int seconds)
{
    return moveBy(-qint64(seconds) * 1000);
}

bool MciSequencer::moveBy(qint64 deltaMs)
{
    if (!opened)
        return fail(QStringLiteral("No song is open."));
    // Targets before the start or past the end are refused, leaving the position as it is.
    const qint64 target = synth->positionMs() + deltaMs;
    const bool running = playing && !paused;
    if (running)
        synth->halt();
    synth->seekMs(target);
    if (running)
        return Play();
    return fail(QStringLiteral("The song is not playing."));
}
