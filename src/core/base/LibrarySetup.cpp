#include "core/base/LibrarySetup.h"

#include "core/base/DataPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr DataPaths::Folder kindFolders[] = {DataPaths::Folder::Mid, DataPaths::Folder::Syx, DataPaths::Folder::Csf,
                                             DataPaths::Folder::Bin, DataPaths::Folder::Curve};

// Why a folder cannot be made: the nearest part of its path that exists tells it.
QString whyNotMade(const QString &folder)
{
    QFileInfo part(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    while (!part.exists() && !part.isRoot())
        part.setFile(part.absolutePath());
    const QString shown = QDir::toNativeSeparators(part.absoluteFilePath());
    if (!part.isDir())
        return QStringLiteral("\"%1\" is a file, not a folder").arg(shown);
    if (!part.isWritable())
        return QStringLiteral("there is no permission to write in \"%1\"").arg(shown);
    return QStringLiteral("the system refused to make it");
}

QString notMade(const LibraryLocation &location, const QString &reason)
{
    return QStringLiteral("The library folder \"%1\" could not be created: %2.\n\n"
                          "The lists stay empty. Start the program with --library DIR to use another folder.")
        .arg(location.displayPath(), reason);
}

// Writes a new file only: a file of that name that appears meanwhile is left alone.
QString copyNew(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return source.errorString();
    const QByteArray bytes = source.readAll();
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return target.exists() ? QString() : target.errorString();
    if (target.write(bytes) != bytes.size() || !target.flush()) {
        const QString error = target.errorString();
        target.close();
        target.remove();   // ours, and incomplete
        return error.isEmpty() ? QStringLiteral("the disk is full") : error;
    }
    return {};
}

} // namespace

QString LibrarySetup::demoResource()
{
    return QStringLiteral(":/demo/zorvik/");
}

QStringList LibrarySetup::demoFiles()
{
    QStringList files;
    const QString base = demoResource();
    QDirIterator it(base, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(base.size()));
    files.sort();
    return files;
}

LibrarySetup::Result LibrarySetup::copyDemo(const QString &root)
{
    Result result;
    for (DataPaths::Folder folder : kindFolders) {
        if (!QDir().mkpath(root + DataPaths::piece(folder))) {
            result.problem = whyNotMade(root + DataPaths::piece(folder));
            return result;
        }
    }
    for (const QString &name : demoFiles()) {
        const QString target = root + name;
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
            result.problem = whyNotMade(QFileInfo(target).absolutePath());
            return result;
        }
        const QString error = copyNew(demoResource() + name, target);
        if (!error.isEmpty()) {
            result.problem = QStringLiteral("\"%1\" could not be written (%2)").arg(name, error);
            return result;
        }
        if (QFileInfo::exists(target))
            ++result.filesCopied;
    }
    return result;
}

LibrarySetup::Result LibrarySetup::prepare(const LibraryLocation &location)
{
    Result result;
    switch (location.source()) {
    case LibraryLocation::Source::CurrentDirectory:
        return result;
    case LibraryLocation::Source::CommandLine:
        if (!location.exists()) {
            result.problem = QStringLiteral("The library folder \"%1\" named with --library does not exist or is not "
                                            "a folder.\n\nThe lists stay empty.")
                                 .arg(location.displayPath());
        }
        return result;
    case LibraryLocation::Source::UserLibrary:
        break;
    }
    // Only the first start fills the library: what the user deleted since stays deleted.
    if (location.exists())
        return result;
    if (!QDir().mkpath(location.root())) {
        result.problem = notMade(location, whyNotMade(location.root()));
        return result;
    }
    result = copyDemo(location.root());
    result.created = true;
    if (!result.problem.isEmpty()) {
        result.problem = QStringLiteral("The demo library could not be copied completely into \"%1\": %2.")
                             .arg(location.displayPath(), result.problem);
    }
    return result;
}
