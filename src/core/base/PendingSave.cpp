#include "core/base/PendingSave.h"

#include "core/base/SafeFile.h"
#include "core/base/StopSignals.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString cannotSave(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot save \"%1\": %2").arg(QFileInfo(path).fileName(), reason);
}

// Gives the new file the permissions of the file it replaces, or those of a new file: the
// temporary file was made private to this user.
void setPermissionsFor(const QString &target, int fd)
{
#ifdef Q_OS_UNIX
    struct stat old{};
    mode_t mode = 0;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
#else
    Q_UNUSED(target);
    Q_UNUSED(fd);
#endif
}

} // namespace

PendingSave::PendingSave(QString savePath)
    : path(std::move(savePath))
{
}

PendingSave::~PendingSave()
{
    drop();
}

QString PendingSave::temporaryPath() const
{
    return temporary;
}

QString PendingSave::prepare()
{
    SafeFile::ignoreFileSizeSignal();
    drop();
    QString problem = SafeFile::targetProblem(path);
    // Through a link to the file it leads to, as every save does.
    const QFileInfo info(path);
    target = info.isSymLink() ? info.canonicalFilePath() : path;
    if (problem.isEmpty() && target != path)
        problem = SafeFile::targetProblem(target);
    if (!problem.isEmpty())
        return cannotSave(path, problem);
#ifdef Q_OS_UNIX
    // mkostemp says why it fails (a name too long, a full table), where the temporary file
    // classes of Qt lose the reason.
    QByteArray name = QFile::encodeName(target) + ".XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return cannotSave(path, QString::fromLocal8Bit(std::strerror(errno)));
    temporary = QFile::decodeName(name);
    file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        drop();
        return cannotSave(path, QStringLiteral("the temporary file cannot be written."));
    }
#else
    auto made = std::make_unique<QTemporaryFile>(target + QStringLiteral(".XXXXXX"));
    made->setAutoRemove(false);
    if (!made->open())
        return cannotSave(path, made->errorString());
    temporary = made->fileName();
    file = std::move(made);
#endif
    StopSignals::removeOnForcedStop(temporary);
    return {};
}

QString PendingSave::commit(const QByteArray &bytes)
{
    if (!file)
        return cannotSave(path, QStringLiteral("it was not prepared."));
    // The bytes wait in the file's buffer until the end: the flush says whether they fit.
    errno = 0;
    if (file->write(bytes) != bytes.size() || !file->flush()) {
        const QString why = errno == EFBIG ? QStringLiteral("the file would exceed the file size limit.") : file->errorString();
        drop();
        return cannotSave(path, why);
    }
    setPermissionsFor(target, file->handle());
    file->close();
    // rename() replaces the target in one step: it is the old file or the new one, never a mix.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        drop();
        return cannotSave(path, why);
    }
    file.reset();
    temporary.clear();
    StopSignals::removeOnForcedStop({});
    return {};
}

void PendingSave::drop()
{
    file.reset();
    if (temporary.isEmpty())
        return;
    QFile::remove(temporary);
    temporary.clear();
    StopSignals::removeOnForcedStop({});
}
