#pragma once

#include "core/base/DataPaths.h"

#include <QString>

// The kind of file being handled: chosen with the library's file-type box, set to Template by the
// panel's send. The numbers are the ones the rest of the program and the instrument's transfers use.
enum class FileKind { None = 0, Song = 1, Template = 2, Csf = 3, Firmware = 4 };

namespace FileKinds {

inline DataPaths::Folder folder(FileKind kind)
{
    switch (kind) {
    case FileKind::Song: return DataPaths::Folder::Mid;
    case FileKind::Template: return DataPaths::Folder::Syx;
    case FileKind::Csf: return DataPaths::Folder::Csf;
    case FileKind::Firmware: return DataPaths::Folder::Bin;
    case FileKind::None: break;
    }
    return DataPaths::Folder::Root;
}

// The extension the library lists for a kind, without the dot ("mid").
inline QString extension(FileKind kind)
{
    switch (kind) {
    case FileKind::Song: return QStringLiteral("mid");
    case FileKind::Template: return QStringLiteral("syx");
    case FileKind::Csf: return QStringLiteral("csf");
    case FileKind::Firmware: return QStringLiteral("bin");
    case FileKind::None: break;
    }
    return {};
}

// The file-type box's entry for a kind: twelve blanks, then the pattern.
inline QString comboText(FileKind kind)
{
    return QStringLiteral("            *.") + extension(kind);
}

inline bool isBlockTransfer(FileKind kind)
{
    return kind == FileKind::Song || kind == FileKind::Csf || kind == FileKind::Firmware;
}

} // namespace FileKinds
