#pragma once

#include <QString>
#include <QStringList>

// Lists the files of one library folder that end in an extension (matched ignoring case), newest
// first. A folder with 300 or more matches is not listed at all. Names that no command would take
// (DataPaths::isSafeFileName) are left out.
class FolderListing
{
public:
    static constexpr int maxEntries = 299;
    static constexpr auto tooManyMessage = "The file name is excess!";
    // What a command says when the file it was given has left the folder since it was listed.
    static QString goneMessage(const QString &name);

    // Which time ordered the list: the file system's record of when a file was created where it
    // keeps one, else the earliest of the times it does keep.
    enum class TimeSource { BirthTime, EarliestKnownTime };

    struct Result
    {
        QStringList names;   // newest first
        bool tooMany = false;
        int matches = 0;
        TimeSource timeSource = TimeSource::BirthTime;
    };

    // folder: a folder path ("zorvik/mid/"); extension without the dot ("mid").
    // A missing folder gives an empty list.
    static Result list(const QString &folder, const QString &extension);
};
