#include "devices/audio/SongEngine.h"

#include "devices/audio/FluidAudioOutput.h"

#include <QFileInfo>

SongEngine::SongEngine() : SongEngine(Options{}) {}

SongEngine::SongEngine(Options engineOptions) : options(std::move(engineOptions)) {}

SongEngine::~SongEngine()
{
    close();
}

bool SongEngine::fail(const QString &why)
{
    error = why;
    return false;
}

bool SongEngine::open(const QString &path)
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

bool SongEngine::openImage(const QByteArray &image)
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

bool SongEngine::openSong(const StandardMidiFile &song)
{
    lastLengthMs = qint64(song.lengthMs());
    // The soundfont is loaded on the first open() only: later songs start without that wait.
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

bool SongEngine::close()
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

bool SongEngine::play()
{
    if (!opened)
        return fail(QStringLiteral("No song is open."));
    // Play starts at the whole second of the position, so Pause then Play resumes at the
    // second the window shows.
    const qint64 wholeSecondMs = synth->positionMs() / 1000 * 1000;
    synth->halt();
    synth->seekMs(wholeSecondMs);
    synth->start();
    paused = false;
    playing = true;
    return true;
}

bool SongEngine::stop()
{
    if (!opened || !playing)
        return fail(QStringLiteral("No song is playing."));
    synth->halt();
    synth->seekMs(0);
    playing = paused = false;
    return true;
}

bool SongEngine::pause()
{
    if (!opened || !playing)
        return fail(QStringLiteral("No song is playing."));
    synth->halt();
    paused = true;
    return true;
}

qint64 SongEngine::lengthMs() const
{
    return opened ? synth->lengthMs() : -1;
}

qint64 SongEngine::positionMs() const
{
    return opened ? synth->positionMs() : -1;
}

bool SongEngine::seekTo(qint64 positionMs)
{
    if (!opened)
        return fail(QStringLiteral("No song is open."));
    const bool running = playing && !paused;
    if (running)
        synth->halt();
    const bool moved = synth->seekMs(positionMs);
    if (running) {
        // A refused target resumes the song where it was: it never stays silent while it
        // counts as playing.
        const bool resumed = play();
        return moved ? resumed : fail(QStringLiteral("The position is outside the song."));
    }
    return fail(moved ? QStringLiteral("The song is not playing; it waits at the new position.")
                      : QStringLiteral("The position is outside the song."));
}

bool SongEngine::forward(qint64 spanMs)
{
    return moveBy(spanMs);
}

bool SongEngine::back(qint64 spanMs)
{
    return moveBy(-spanMs);
}

bool SongEngine::moveBy(qint64 deltaMs)
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
        return play();
    return fail(QStringLiteral("The song is not playing."));
}
