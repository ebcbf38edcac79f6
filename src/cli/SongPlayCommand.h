#pragma once

#include "devices/audio/SongEngine.h"

#include <QString>

// "zorvikctl play FILE": plays a .mid song, or the song inside a .csf file, through the player's
// engine and sound output, showing the position on a terminal. It ends at the song's end or on
// Ctrl+C (or a request to terminate), with every note off. A quick check of the sound set-up.
class SongPlayCommand
{
public:
    static constexpr int tickMs = 100;

    // engine: the audio driver the user named, or an output of a test's own.
    SongPlayCommand(QString programName, SongEngine::Options engine);

    // One of ControlCommands' exit codes: Done, UsageError (not a song's extension, an audio
    // driver that does not exist), FileRefused (not a playable song), DeviceError (no sound).
    int run(const QString &file);

private:
    void say(const QString &text) const;

    QString program;
    SongEngine::Options options;
};
