#pragma once

#include <QString>

// Where the library lives: the folder that holds mid/, syx/, csf/, bin/, Curve/ and the help page.
// Decided once at start and then only read; DataPaths builds every path from it.
class LibraryLocation
{
public:
    enum class Source {
        CurrentDirectory,   // "zorvik/" under the current directory
        CommandLine,        // --library DIR
        UserLibrary,        // the user's own library in the per-user data folder
    };

    // The rule that holds until a program decides otherwise: "zorvik/" under the current directory.
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
    QString root() const { return folder; }
    Source source() const { return from; }
    // The folder as a person reads it: absolute, the platform's separators, no trailing one.
    QString displayPath() const;
    bool exists() const;

    // A file named on a command line: the name itself when it exists or carries a folder; else,
    // for a plain file name with a library extension (.mid .syx .csf .bin .crv), the file of that
    // name in the kind's library folder when it is there. Otherwise the name as given.
    QString lookUp(const QString &fileArgument) const;

private:
    QString folder = QStringLiteral("zorvik/");
    Source from = Source::CurrentDirectory;
};
