#pragma once

#include "core/base/LibraryLocation.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The one library fixture: a library of the test's own in a temporary folder, whose location the
// test hands to what it builds, as the programs hand on the library they decide at start. The
// current directory is left alone.
//
//   FreshLibrary data;   // zorvik/ with its five kind folders, all empty
//   QVERIFY(data.isReady());
//   FileLibrary library(&host, data.location(), prompts, transfer);
//   writeFile(data.path("syx/a.syx"), bytes);
//
// Kind::UserLibrary stands for the first start on a fresh account instead: HOME and XDG_DATA_HOME
// point into the temporary folder while the fixture lives, and location() is the user's own
// library there, not made yet.
class FreshLibrary
{
public:
    enum class Kind {
        Folder,        // an empty library, as --library names one
        UserLibrary,   // the user's library of a fresh home, not there yet
    };

    explicit FreshLibrary(Kind kind = Kind::Folder);
    ~FreshLibrary();
    FreshLibrary(const FreshLibrary &) = delete;
    FreshLibrary &operator=(const FreshLibrary &) = delete;

    // False when the temporary folder or the library's folders could not be made.
    bool isReady() const { return ready; }
    // Empties the temporary folder and makes the library again as the constructor did. For a
    // test class that keeps one library for all its functions.
    [[nodiscard]] bool renew();

    const LibraryLocation &location() const { return where; }
    QString folder(DataPaths::Folder which) const { return where.folder(which); }
    QString file(DataPaths::Folder which, const QString &name) const { return where.file(which, name); }
    // A path in the library, relative to its folder: path("syx/a.syx").
    QString path(const QString &relative) const { return where.root() + relative; }
    // A path in the temporary folder but outside the library: what a link in it leads to, the
    // home of a user library, a folder that is no library.
    QString outside(const QString &name) const;

private:
    const Kind kind;
    QTemporaryDir dir;
    LibraryLocation where;
    bool ready = false;
    QByteArray previousHome;
    QByteArray previousData;
};
