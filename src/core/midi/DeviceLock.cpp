#include "core/midi/DeviceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// A folder, not a link, of this user, that nobody else can write to.
bool isPrivateFolder(const QString &path)
{
    struct stat info;
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
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

QString DeviceLock::folder(QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QString();
    };
#ifdef Q_OS_UNIX
    // The runtime folder the variable names, as Qt checks it. Without a usable one (unset,
    // empty, relative, someone else's), the folder a login session gives the user, so that a
    // program started outside the session (a script, a job) still meets the editor's locks;
    // failing that, a private folder in the temporary folder. Qt's own stand-in is not taken:
    // another program would not find it.
    QString runtime;
    const QString named = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!named.isEmpty() && QDir::isAbsolutePath(named)) {
        runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (QDir::cleanPath(runtime) != QDir::cleanPath(named) || !isPrivateFolder(runtime))
            runtime.clear();
    }
    if (runtime.isEmpty() && isPrivateFolder(QStringLiteral("/run/user/%1").arg(getuid())))
        runtime = QStringLiteral("/run/user/%1").arg(getuid());
    const QString path = runtime.isEmpty() ? QDir::tempPath() + QStringLiteral("/zorvik-halden-%1").arg(getuid())
                                           : runtime + QStringLiteral("/zorvik-halden");
    if (mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("cannot make the folder %1 for device locks").arg(path));
    if (!isPrivateFolder(path))
        return fail(QStringLiteral("%1 is not a private folder of this user").arg(path));
    return path;
#else
    QString path = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (path.isEmpty())
        path = QDir::tempPath();
    path += QStringLiteral("/zorvik-halden");
    if (!QDir().mkpath(path))
        return fail(QStringLiteral("cannot make the folder %1 for device locks").arg(path));
    return path;
#endif
}

QString DeviceLock::path(const QString &key, QString *error)
{
    const QString dir = folder(error);
    if (dir.isEmpty())
        return {};
    return dir + QLatin1Char('/')
           + QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex())
           + QStringLiteral(".lock");
}

bool DeviceLock::held() const
{
    return fd >= 0 || (file && file->isLocked());
}

bool DeviceLock::tryAcquire(QString *error)
{
    if (held())
        return true;
    const QString path = DeviceLock::path(key, error);
    if (path.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (handle < 0) {
        if (error)
            *error = QStringLiteral("cannot open the device lock %1").arg(path);
        return false;
    }
    if (flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        ::close(handle);
        if (why != EWOULDBLOCK && error)
            *error = QStringLiteral("cannot lock the device lock %1").arg(path);
        return false;
    }
    fd = handle;
    return true;
#else
    file = std::make_unique<QLockFile>(path);
    if (file->tryLock(0))
        return true;
    if (file->error() != QLockFile::LockFailedError && error)
        *error = QStringLiteral("cannot lock the device lock %1").arg(path);
    file.reset();
    return false;
#endif
}

void DeviceLock::release()
{
#ifdef Q_OS_UNIX
    if (fd >= 0)
        ::close(fd);   // drops the flock
    fd = -1;
#endif
    file.reset();
}
