#include "library/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

QString SafeFile::write(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!info.dir().exists())
        return QStringLiteral("Cannot save \"%1\": the folder %2 does not exist.").arg(info.fileName(), info.path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot save \"%1\": %2").arg(info.fileName(), file.errorString());
    // The bytes wait in the file's buffer until the end, and commit() does not check that last
    // flush: a disk that fills up then would leave a cut file in place of the old one, reported
    // as saved. Flushing first catches it; the uncommitted temporary file is then discarded.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit())
        return QStringLiteral("Cannot save \"%1\": %2").arg(info.fileName(), file.errorString());
    return {};
}
