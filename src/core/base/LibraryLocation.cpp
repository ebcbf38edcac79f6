#include "core/base/LibraryLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString withSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

LibraryLocation::LibraryLocation(const QString &folderPath, Source source)
    : rootFolder(withSeparator(QDir::fromNativeSeparators(folderPath)))
    , from(source)
{
}

LibraryLocation LibraryLocation::decide(const QString &commandLineFolder, const QString &userLibrary)
{
    if (!commandLineFolder.isEmpty())
        return {QFileInfo(commandLineFolder).absoluteFilePath(), Source::CommandLine};
    // Today's rule first, so the demo, the tests and scripts that start beside a zorvik/ folder
    // keep their paths exactly as they were.
    if (QFileInfo(QStringLiteral("zorvik")).isDir())
        return {};
    return {userLibrary, Source::UserLibrary};
}

QString LibraryLocation::userLibraryFolder()
{
    // The generic data folder plus a fixed name, rather than the application's own data folder:
    // zorvikctl and zorvik-halden must find the same library.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString base = data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : data;
    return base + QStringLiteral("/zorvik-halden/zorvik/");
}

QString LibraryLocation::displayPath() const
{
    QString path = QDir::cleanPath(QFileInfo(rootFolder).absoluteFilePath());
    return QDir::toNativeSeparators(path);
}

bool LibraryLocation::exists() const
{
    return QFileInfo(rootFolder).isDir();
}

QString LibraryLocation::lookUp(const QString &fileArgument) const
{
    const QFileInfo given(fileArgument);
    if (given.exists() || fileArgument.contains(QLatin1Char('/')) || !DataPaths::isSafeFileName(fileArgument))
        return fileArgument;
    const QString suffix = given.suffix();
    const struct
    {
        const char *extension;
        DataPaths::Folder folder;
    } kinds[] = {{"mid", DataPaths::Folder::Mid}, {"syx", DataPaths::Folder::Syx}, {"csf", DataPaths::Folder::Csf},
                 {"bin", DataPaths::Folder::Bin}, {"crv", DataPaths::Folder::Curve}};
    for (const auto &kind : kinds) {
        if (suffix.compare(QLatin1String(kind.extension), Qt::CaseInsensitive) != 0)
            continue;
        const QString inLibrary = file(kind.folder, fileArgument);
        return QFileInfo::exists(inLibrary) ? inLibrary : fileArgument;
    }
    return fileArgument;
}
