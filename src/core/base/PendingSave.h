#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

// A save whose file is made before its bytes exist: a command that must wait for what it saves
// (a dump from the instrument) proves first that it can save at all, so nothing arrives only
// to be lost to a name too long, a folder that cannot be written or a target that cannot be
// replaced. The bytes go to a temporary file beside the target ("NAME.syx.XXXXXX"), which then
// replaces the target whole; until then the target is untouched. The temporary file is removed
// when the save is dropped, and also when a second stop signal ends the process at once
// (StopSignals).
class PendingSave
{
public:
    explicit PendingSave(QString path);
    ~PendingSave();
    PendingSave(const PendingSave &) = delete;
    PendingSave &operator=(const PendingSave &) = delete;

    // Makes the temporary file. Empty on success, else a message for the user ("Cannot save
    // "name": reason").
    QString prepare();
    // Writes the bytes and puts the file in place of the target. The same kind of message on
    // failure, when the old file is left as it was.
    QString commit(const QByteArray &bytes);
    // Removes the temporary file; the target stays as it was.
    void drop();

    QString temporaryPath() const;

private:
    QString path;
    QString target;   // where the bytes go: the file a link leads to, else path
    QString temporary;
    std::unique_ptr<QFile> file;
};
