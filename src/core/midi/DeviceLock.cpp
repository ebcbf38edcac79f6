#include "core/midi/DeviceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
QString userId()
{
    return QString::number(getuid());
}

// The socket's address: a leading zero byte puts it in the abstract namespace.
sockaddr_un address(const QByteArray &name, socklen_t *length)
{
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const qsizetype size = std::min<qsizetype>(name.size(), qsizetype(sizeof where.sun_path) - 1);
    std::memcpy(where.sun_path + 1, name.constData(), size_t(size));
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(size));
    return where;
}
#else
QString userId()
{
    return qEnvironmentVariable("USER", QStringLiteral("user"));
}
#endif

} // namespace

DeviceLock::DeviceLock(QString lockKey)
    : key(std::move(lockKey))
{
}

DeviceLock::~DeviceLock()
{
    release();
}

QString DeviceLock::name(const QString &key)
{
    return QStringLiteral("zorvik-halden-%1-device-%2")
        .arg(userId(), QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex()));
}

bool DeviceLock::held() const
{
    return fd >= 0 || (file && file->isLocked());
}

bool DeviceLock::tryAcquire(QString *error)
{
    if (held())
        return true;
    const QByteArray lockName = name(key).toUtf8();
#ifdef Q_OS_LINUX
    const auto fail = [error, &lockName](const QString &why) {
        if (error)
            *error = QStringLiteral("cannot take the device lock %1: %2").arg(QString::fromUtf8(lockName), why);
        return false;
    };
    socklen_t length = 0;
    const sockaddr_un where = address(lockName, &length);
    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (::bind(handle, reinterpret_cast<const sockaddr *>(&where), length) == 0) {
        // Listening lets a process that finds the device busy ask who holds it.
        ::listen(handle, 1);
        fd = handle;
        return true;
    }
    const int why = errno;
    ::close(handle);
    if (why != EADDRINUSE)
        return fail(QString::fromLocal8Bit(std::strerror(why)));
    // Busy. Once per lock: a holder that is not this user's would keep the device from us for
    // as long as it likes, which waiting cannot mend.
    if (!ownerChecked) {
        ownerChecked = true;
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ucred holder{};
        socklen_t size = sizeof holder;
        const bool known = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr *>(&where), length) == 0
                           && ::getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &holder, &size) == 0;
        if (probe >= 0)
            ::close(probe);
        if (known && holder.uid != getuid()) {
            return fail(QStringLiteral("it is held by process %1 of another user (uid %2); end that process to free "
                                       "the device")
                            .arg(holder.pid)
                            .arg(holder.uid));
        }
    }
    return false;
#else
    const QString path = QDir::tempPath() + QLatin1Char('/') + QString::fromUtf8(lockName) + QStringLiteral(".lock");
    file = std::make_unique<QLockFile>(path);
    if (file->tryLock(0))
        return true;
    if (file->error() != QLockFile::LockFailedError && error)
        *error = QStringLiteral("cannot take the device lock %1: it cannot be made or read; remove it if it is not "
                                "a lock file")
                     .arg(path);
    file.reset();
    return false;
#endif
}

void DeviceLock::release()
{
#ifdef Q_OS_LINUX
    if (fd >= 0)
        ::close(fd);   // the name is free again at once
    fd = -1;
#endif
    file.reset();
}
