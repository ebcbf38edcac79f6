#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Reserves one output device for the whole of a transfer, across processes: the editor and
// zorvikctl alike take it before their first message and keep it to their last. Every process of
// the user finds it the same way, whatever its environment (a shell, sudo -u, cron, ssh): on
// Linux it is an abstract Unix socket named after the user and the device, which the kernel
// frees when its holder ends, however it ends, and which leaves nothing on disk to go stale.
// Elsewhere, a lock file per device in the temporary folder.
class DeviceLock
{
public:
    // `key` names the device (its back end's place and its name).
    explicit DeviceLock(QString key);
    ~DeviceLock();
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Takes the device unless another transfer holds it; never waits. When it cannot be taken
    // for another reason, `error` says why and what to do; it stays empty when the device is
    // only busy.
    bool tryAcquire(QString *error = nullptr);
    void release();
    bool held() const;

    // The name of a device's lock: the same for every process of this user, for any key.
    static QString name(const QString &key);

    static QString busyMessage() { return QStringLiteral("the device is busy with another transfer"); }

private:
    QString key;
    int fd = -1;
    bool ownerChecked = false;
    std::unique_ptr<QLockFile> file;   // where there are no abstract sockets
};
