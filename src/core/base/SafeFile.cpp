#include "core/base/SafeFile.h"

#include "core/base/DataPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString notRegular = QStringLiteral("it exists and is not a regular file, so it is left as it is.");

// The first element of a folder path that exists but is not a folder, or an empty string.
QString fileInTheWay(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    for (qsizetype end = 1; end <= clean.size(); ++end) {
        if (end < clean.size() && clean.at(end) != QLatin1Char('/'))
            continue;
        const QString prefix = clean.left(end);
        const QFileInfo info(prefix);
        if (!info.exists())
            return {};
        if (!info.isDir())
            return prefix;
    }
    return {};
}

// Opens path for reading only when it is a regular file. On Unix the check is made on the open
// file itself, opened without waiting, so a pipe put in place after the check cannot block.
bool openRegular(const QString &path, QFile &file, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("it does not exist");
        return false;
    }
    if (!info.isFile()) {
        error = QStringLiteral("it is not a regular file");
        return false;
    }
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat status{};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = QStringLiteral("it is not a regular file");
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = file.errorString();
        return false;
    }
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
#endif
    return true;
}

QString cannotSave(const QString &path, const QString &reason)
{
    if (reason.isEmpty())
        return {};
    return QStringLiteral("Cannot save \"%1\": %2").arg(DataPaths::shownName(QFileInfo(path).fileName()), reason);
}

} // namespace

void SafeFile::ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

SafeFile::ReadResult SafeFile::read(const QString &path, qint64 limit)
{
    ReadResult result;
    QFile file;
    if (!openRegular(path, file, result.error))
        return result;
    result.size = file.size();
    if (result.size > limit) {
        result.status = ReadResult::Status::TooLarge;
        return result;
    }
    // The size may be wrong (a file still growing, a file of the system's that tells no size):
    // the read itself stops one byte past the limit.
    constexpr qint64 chunk = 64 * 1024;
    while (result.bytes.size() <= limit) {
        const QByteArray piece = file.read(std::min(chunk, limit + 1 - result.bytes.size()));
        if (piece.isEmpty())
            break;
        result.bytes += piece;
    }
    if (file.error() != QFileDevice::NoError) {
        result.bytes.clear();
        result.error = file.errorString();
        return result;
    }
    if (result.bytes.size() > limit) {
        result.bytes.clear();
        result.size = std::max(result.size, limit + 1);
        result.status = ReadResult::Status::TooLarge;
        return result;
    }
    result.size = result.bytes.size();
    result.status = ReadResult::Status::Read;
    return result;
}

QString SafeFile::targetProblem(const QString &path)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.path());
    if (!folder.isDir()) {
        const QString blocker = fileInTheWay(info.path());
        if (!blocker.isEmpty())
            return QStringLiteral("%1 is a file, not a folder.").arg(blocker);
        return QStringLiteral("the folder %1 does not exist.").arg(info.path());
    }
    if (!folder.isWritable())
        return QStringLiteral("the folder %1 cannot be written to.").arg(info.path());
    // QFileInfo follows links: a link to a regular file passes, a link to anything else (or to
    // nothing) does not.
    if ((info.exists() || info.isSymLink()) && !info.isFile())
        return notRegular;
    return {};
}

QString SafeFile::writeReason(const QString &path, const QByteArray &bytes)
{
    ignoreFileSizeSignal();
    const QString problem = targetProblem(path);
    if (!problem.isEmpty())
        return problem;
    // Through a link to the file it leads to: replacing the link itself would cut the file off
    // from wherever the user keeps it.
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : path;
    if (target != path) {
        const QString problemThere = targetProblem(target);
        if (!problemThere.isEmpty())
            return problemThere;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // The bytes wait in the file's buffer until the end, and commit() does not check that last
    // flush: a disk that fills up then would leave a cut file in place of the old one, reported
    // as saved. Flushing first catches it; the uncommitted temporary file is then discarded.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        // Past the file size limit the system says why, but Qt's error text stays unset.
        if (errno == EFBIG)
            return QStringLiteral("the file would exceed the file size limit.");
        return file.errorString();
    }
    return {};
}

QString SafeFile::check(const QString &path)
{
    return cannotSave(path, targetProblem(path));
}

QString SafeFile::write(const QString &path, const QByteArray &bytes)
{
    return cannotSave(path, writeReason(path, bytes));
}
