#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Which of FluidSynth's audio drivers the player tries, in which order, and what it says when
// none of them starts. A driver the user names (--audio-driver NAME, or the environment variable
// ZORVIK_AUDIO_DRIVER) is the only one tried; otherwise the sound servers come before the device
// itself: PipeWire, PulseAudio, JACK, ALSA, as far as the installed FluidSynth offers them.
class AudioDriverChoice
{
public:
    static constexpr const char *environmentVariable = "ZORVIK_AUDIO_DRIVER";
    static const QStringList preferredOrder;

    struct Attempt
    {
        QString driver;
        QString reason;
    };

    // FluidSynth's audio driver names, without those that are no sound output ("file" writes a
    // file in the current folder).
    static QStringList offered();
    // The driver the user named: `given` (from the command line), else the environment's; empty
    // (also for an empty or blank value) to try the usual order.
    static QString wanted(const QString &given = {});

    // The drivers to try, in order. Empty, with `problem` saying why, when there is none.
    static QStringList plan(const QStringList &offered, const QString &wanted, QString *problem = nullptr);

    // "PipeWire", "PulseAudio", "JACK", "ALSA"; other names as they are.
    static QString displayName(const QString &driver);
    // The one message for an output that could not start: every driver tried and why it failed.
    static QString failureMessage(const QList<Attempt> &attempts);
};
