#pragma once

#include "core/base/FileKind.h"
#include "core/base/LibraryLocation.h"
#include "core/base/PromptService.h"

#include <QByteArray>
#include <QString>

// The checks a library file goes through before it is offered to the transfer: the kind's
// extension, the song header, the song inside a .csf file, and whether the instrument can take
// it at all. Reads the file whole; nothing is sent here.
class SendPreparation
{
public:
    static constexpr qint64 maxTemplateFileSize = 64 * 1024;

    struct Result
    {
        bool ok = false;
        QByteArray image;                 // what the transfer sends
        PromptService::Prompt problem;    // what to tell the user when !ok
    };

    // entry: the file list's selected text, empty when nothing is selected; it names a file in
    // the kind's folder of library.
    static Result prepare(const LibraryLocation &library, FileKind kind, const QString &entry);
    // The same checks for a file anywhere (the command line); displayName names it in messages.
    static Result prepareFile(FileKind kind, const QString &path, const QString &displayName);

    // Asked before the transfer dialog opens.
    static PromptService::Prompt confirmation();
};
