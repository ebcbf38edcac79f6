#pragma once

#include <QString>

class MidiSystem;
class QElapsedTimer;

// What zorvikctl's commands write: errors are one line each on standard error, after the
// program's name; a command that succeeds prints one summary line on standard output, unless
// told to be quiet. A full disk or device on standard output is a failed write, not success.
class CommandOutput
{
public:
    static QString program() { return QStringLiteral("zorvikctl"); }

    // One line on standard error.
    static void fail(const QString &reason);
    // Ends what went to standard output: Done, or SaveFailed when it could not be written.
    static int finish();
    // The one line a successful command prints (nothing when quiet), then finish().
    static int summarize(bool quiet, const QString &line);
    // A device failure that a stalled MIDI server explains says so; DeviceError.
    static int deviceError(MidiSystem &midi);

    // The time since `clock` started, as the summary lines give it ("2.5 s").
    static QString seconds(const QElapsedTimer &clock);
    // A file name as one line shows it: a name with a control character in it (a newline would
    // split the summary line a script reads) is quoted, the character escaped.
    static QString shown(const QString &name);
};
