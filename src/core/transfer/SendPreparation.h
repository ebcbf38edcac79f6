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

        // A song refused only because it is not of format 0: the refusal is in `problem`, and
        // `formatZero` holds its tracks merged into one, checked like any song and ready to send
        // when the user agrees. Empty when they cannot be merged; `whyNotMerged` says why.
        bool otherFormat = false;
        QByteArray formatZero;
        QString whyNotMerged;
    };

    // entry: the file list's selected text, empty when nothing is selected; it names a file in
    // the kind's folder of library.
    static Result prepare(const LibraryLocation &library, FileKind kind, const QString &entry);
    // The same checks for a file anywhere (the command line); displayName names it in messages.
    static Result prepareFile(FileKind kind, const QString &path, const QString &displayName);

    // Asked before the transfer dialog opens.
    static PromptService::Prompt confirmation();
    // Asked after the refusal of a song that can be merged into format 0.
    static PromptService::Prompt mergeQuestion();
    // Said after the refusal of a song that cannot be: `why` from the result.
    static PromptService::Prompt cannotMerge(const QString &why);
    // "name-0.mid", where a song's format-0 copy is saved beside it.
    static QString formatZeroName(const QString &songName);
};
