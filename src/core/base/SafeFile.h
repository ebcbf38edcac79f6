#pragma once

#include <QByteArray>
#include <QString>

// Reads and writes the library's files safely.
// Reading opens only a regular file (after following links) and never takes more than a limit
// plus one byte: a name that leads to a device, a pipe or a file that grows without end can
// neither hang the program nor fill its memory.
// Writing replaces a file whole or not at all: the bytes go to a temporary file in the same
// folder, which then replaces the target. A failed write leaves an existing file as it was; an
// existing target that is not a regular file is never replaced, and a link to a regular file is
// written through to the file it leads to.
class SafeFile
{
public:
    struct ReadResult
    {
        enum class Status { Read, CannotOpen, TooLarge };
        Status status = Status::CannotOpen;
        QByteArray bytes;   // the whole file, when read
        qint64 size = 0;    // the file's size; for a file too large, as far as it is known
        QString error;      // why it cannot be opened, for the user

        bool ok() const { return status == Status::Read; }
    };

    // The file at path, if it is a regular file of at most `limit` bytes. A larger file is
    // refused from its size without being read.
    static ReadResult read(const QString &path, qint64 limit);

    // Why nothing can be saved at path, or an empty string: its folder is missing or cannot be
    // written, an element of the path is a file, or path names something that is not a regular
    // file. Only the reason, to follow "Cannot save ...: ".
    static QString targetProblem(const QString &path);

    // targetProblem() as a message for the user ("Cannot save "name": reason"), or empty.
    static QString check(const QString &path);

    // Writes bytes to path; returns an empty string on success, else a message for the user
    // ("Cannot save "name": reason").
    static QString write(const QString &path, const QByteArray &bytes);
    // The same, returning only the reason, for callers with their own wording.
    static QString writeReason(const QString &path, const QByteArray &bytes);

    // A write past the process's file size limit must fail like a full disk does, not end the
    // program: the signal the system sends for it is ignored from the first save on. Programs
    // that write other files (standard output) call this at their start.
    static void ignoreFileSizeSignal();
};
