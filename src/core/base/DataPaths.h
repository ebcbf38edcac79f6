#pragma once

#include <QString>

// The library folder's layout and the rules for the names in it. Paths themselves are built by
// the LibraryLocation a program decides at start and hands to whoever reads or writes the
// library; nothing here knows which library that is.
namespace DataPaths {

enum class Folder { Root, Mid, Syx, Csf, Bin, Curve };

// The sub-folder piece alone ("mid/", "Curve/"; empty for Root).
QString piece(Folder folder);

// True when name can be used as a file name inside a data folder without leaving it:
// not empty, no separators ('/' and '\\'), no control characters and no leading dot (so
// never "." or ".."). ':' is a plain character here, as it is to Linux file systems. The
// listings leave out the names this refuses, so every file listed can be used.
bool isSafeFileName(const QString &name);

// A file name as messages show it: a name longer than shownNameLength keeps its start and
// its end (the extension) around a "…", so a message box can wrap what surrounds it.
inline constexpr int shownNameLength = 48;
QString shownName(const QString &name);

} // namespace DataPaths
