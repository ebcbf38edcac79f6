#include "support/FreshLibrary.h"

#include <QDir>
#include <QFile>

FreshLibrary::FreshLibrary(Kind libraryKind)
    : kind(libraryKind)
{
    if (!dir.isValid())
        return;
    if (kind == Kind::Folder) {
        where = LibraryLocation(dir.filePath(QStringLiteral("zorvik")), LibraryLocation::Source::CommandLine);
        ready = renew();
        return;
    }
    previousHome = qgetenv("HOME");
    previousData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    where = LibraryLocation(LibraryLocation::userLibraryFolder(), LibraryLocation::Source::UserLibrary);
    ready = renew();
}

FreshLibrary::~FreshLibrary()
{
    if (kind != Kind::UserLibrary || !dir.isValid())
        return;
    qputenv("HOME", previousHome);
    if (previousData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", previousData);
}

bool FreshLibrary::renew()
{
    if (!dir.isValid())
        return false;
    // Whatever a test left in the temporary folder goes too: links, pipes, files made read-only.
    if (!QDir(dir.path()).removeRecursively() || !QDir().mkpath(dir.path()))
        return false;
    if (kind == Kind::UserLibrary)
        return true;   // the first start makes it
    for (DataPaths::Folder which : {DataPaths::Folder::Mid, DataPaths::Folder::Syx, DataPaths::Folder::Csf,
                                    DataPaths::Folder::Bin, DataPaths::Folder::Curve}) {
        if (!QDir().mkpath(where.folder(which)))
            return false;
    }
    return true;
}

QString FreshLibrary::outside(const QString &name) const
{
    return dir.filePath(name);
}
