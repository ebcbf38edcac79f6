#pragma once

#include <QString>

class LibraryLocation;

// The data folder layout: every path the program uses is built in the library set at start, as
// the library folder + sub-folder + name (LibraryLocation builds them). The library folder is
// "zorvik/" under the current directory until the program's start decides otherwise.
class DataPaths
{
public:
    enum class Folder { Root, Mid, Syx, Csf, Bin, Curve };

    // The library every path is built in. Set once, at start, before any window opens.
    static void setLibrary(const LibraryLocation &location);
    static const LibraryLocation &library();

    // The library folder followed by the sub-folder piece, with its trailing separator.
    static QString folder(Folder folder);
    // folder(folder) + name; name must be a plain file name.
    static QString file(Folder folder, const QString &name);
    // The sub-folder piece alone ("mid/", "Curve/"; empty for Root).
    static QString piece(Folder folder);

    // True when name can be used as a file name inside a data folder without leaving it:
    // not empty, no separators ('/' and '\\'), no control characters and no leading dot (so
    // never "." or ".."). ':' is a plain character here, as it is to Linux file systems. The
    // listings leave out the names this refuses, so every file listed can be used.
    static bool isSafeFileName(const QString &name);

    // A file name as messages show it: a name longer than shownNameLength keeps its start and
    // its end (the extension) around a "…", so a message box can wrap what surrounds it.
    static constexpr int shownNameLength = 48;
    static QString shownName(const QString &name);
};
