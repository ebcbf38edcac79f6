#include "cli/SongPlayCommand.h"

#include "cli/ControlCommands.h"
#include "core/base/StopSignals.h"
#include "core/song/CsfSongImage.h"
#include "devices/audio/AudioDriverChoice.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

QString clock(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(0, ms) / 1000;
    return QString::asprintf("%02lld:%02lld", seconds / 60, seconds % 60);
}

} // namespace

SongPlayCommand::SongPlayCommand(QString programName, SongEngine::Options engine)
    : program(std::move(programName)), options(std::move(engine))
{
}

void SongPlayCommand::say(const QString &text) const
{
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(line));
}

int SongPlayCommand::run(const QString &file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != QLatin1String("mid") && suffix != QLatin1String("csf")) {
        say(QStringLiteral("play takes a .mid song or a .csf file"));
        return ControlCommands::UsageError;
    }
    if (!options.output) {
        const QStringList offered = AudioDriverChoice::offered();
        const QString wanted = AudioDriverChoice::wanted(options.audioDriver);
        QString problem;
        if (!wanted.isEmpty() && AudioDriverChoice::plan(offered, wanted, &problem).isEmpty()) {
            say(problem);
            return ControlCommands::UsageError;
        }
    }

    // From here Ctrl+C or a termination request stops the song (or keeps it from starting)
    // instead of ending the program; a second one ends it at once.
    const StopSignals stopper({SIGINT, SIGTERM});
    SongEngine engine(options);
    bool opened = false;
    if (suffix == QLatin1String("csf")) {
        const CsfSongImage::Result song = CsfSongImage::load(file);
        if (!song.ok) {
            say(song.message);
            return ControlCommands::FileRefused;
        }
        opened = engine.openImage(song.image);
    } else {
        opened = engine.open(file);
    }
    if (!opened) {
        say(engine.errorText());
        return engine.soundUnavailable() ? ControlCommands::DeviceError : ControlCommands::FileRefused;
    }

    const QString length = clock(engine.lengthMs());
    const QString driver = engine.audioDriverInUse();
    say(QStringLiteral("playing %1 (%2)%3; Ctrl+C stops")
            .arg(QFileInfo(file).fileName(), length,
                 driver.isEmpty() ? QString() : QStringLiteral(" through ") + AudioDriverChoice::displayName(driver)));

    const bool terminal = isatty(fileno(stderr));
    QEventLoop loop;
    QTimer ticks;
    ticks.setInterval(tickMs);
    QString shown;
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
        if (stopper.received() != 0 || engine.isAtEnd()) {
            loop.quit();
            return;
        }
        const QString position = clock(engine.positionMs()) + QStringLiteral(" / ") + length;
        if (terminal && position != shown) {
            shown = position;
            std::fprintf(stderr, "\r%s", qPrintable(position));
            std::fflush(stderr);
        }
    });
    engine.play();
    ticks.start();
    loop.exec();

    const bool ended = engine.isAtEnd();
    const qint64 reached = engine.positionMs();
    // Every note off before the sound output goes.
    engine.stop();
    engine.close();
    if (terminal && !shown.isEmpty())
        std::fprintf(stderr, "\n");
    say(ended ? QStringLiteral("played to the end (%1)").arg(length)
              : QStringLiteral("stopped at %1 / %2").arg(clock(reached), length));
    return ControlCommands::Done;
}
