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
    if (file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Cannot save \"%1\": %2").arg(info.fileName(), file.errorString());
    return {};
}
