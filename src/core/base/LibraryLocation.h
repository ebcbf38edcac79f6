#pragma once

#include "core/base/DataPaths.h"

#include <QString>

// Where the library lives: the folder that holds mid/, syx/, csf/, bin/, Curve/ and the help page.
// A program decides it once at start and hands it to every part that reads or writes the library
// (the editor's window hands it on to the library list, the panel's commands, the curve editor
// and the player; zorvikctl to its file look-up); every library path is built from it here.
class LibraryLocation
{
public:
    enum class Source {
        CurrentDirectory,   // "zorvik/" under the current directory
        CommandLine,        // --library DIR
        UserLibrary,        // the user's own library in the per-user data folder
    };

    // The current-directory rule: "zorvik/" under the current directory.
    LibraryLocation() = default;
    LibraryLocation(const QString &folder, Source source);

    // The library of this start: the --library folder when one is given (even when it does not
    // exist: the user asked for it); else "zorvik/" under the current directory when that is a
    // folder; else userLibrary.
    static LibraryLocation decide(const QString &commandLineFolder, const QString &userLibrary);

    // The user's own library: "zorvik/" inside the program's per-user data folder
    // (~/.local/share/zorvik-halden/zorvik/ on Linux). Every program of the suite names the same
    // folder, whatever its own name.
    static QString userLibraryFolder();

    // The folder with its trailing separator; relative to the current directory for the
    // current-directory rule, absolute otherwise.
    QString root() const { return rootFolder; }
    Source source() const { return from; }
    // The library folder followed by the sub-folder piece, with its trailing separator.
    QString folder(DataPaths::Folder which) const { return rootFolder + DataPaths::piece(which); }
    // folder(which) + name; name must be a plain file name (DataPaths::isSafeFileName).
    QString file(DataPaths::Folder which, const QString &name) const { return folder(which) + name; }
    // The folder as a person reads it: absolute, the platform's separators, no trailing one.
    QString displayPath() const;
    bool exists() const;

    // A file named on a command line: the name itself when it exists or carries a folder; else,
    // for a plain file name with a library extension (.mid .syx .csf .bin .crv), the file of that
    // name in the kind's library folder when it is there. Otherwise the name as given.
    QString lookUp(const QString &fileArgument) const;

private:
    QString rootFolder = QStringLiteral("zorvik/");
    Source from = Source::CurrentDirectory;
};
