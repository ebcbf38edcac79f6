#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Reserves one output device for the whole of a transfer, across processes: the editor and
// zorvikctl alike take it before their first message and keep it to their last. One lock file
// per device in a private folder of the user's runtime folder; on Unix it is locked with flock,
// which the kernel drops when the holder ends, however it ends.
class DeviceLock
{
public:
    // `key` names the device (its back end's place and its name).
    explicit DeviceLock(QString key);
    ~DeviceLock();
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Takes the device unless another transfer holds it; never waits. When it cannot be taken
    // for another reason (no private folder to be had), `error` says why; it stays empty when
    // the device is only busy.
    bool tryAcquire(QString *error = nullptr);
    void release();
    bool held() const;

    // The folder of the lock files, made when missing: "zorvik-halden" in the user's runtime
    // folder (XDG_RUNTIME_DIR, else /run/user/<uid>), or "zorvik-halden-<uid>" in the temporary
    // folder when there is none. Used only when it is a real folder of the user's that nobody
    // else can write to; empty, with `error`, otherwise.
    static QString folder(QString *error = nullptr);
    // The lock file of a device: any name, any length, as the hash of its key.
    static QString path(const QString &key, QString *error = nullptr);

    static QString busyMessage() { return QStringLiteral("the device is busy with another transfer"); }

private:
    QString key;
    int fd = -1;
    std::unique_ptr<QLockFile> file;   // where there is no flock
};
