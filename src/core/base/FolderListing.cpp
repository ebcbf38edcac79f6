#include "core/base/FolderListing.h"

#include "core/base/DataPaths.h"

#include <QDir>
#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace {

struct Entry
{
    QString name;
    QDateTime created;
};

// The creation time of a file, or the earliest time the file system keeps for it.
QDateTime creationTime(const QFileInfo &info, FolderListing::TimeSource &source)
{
    const QDateTime birth = info.birthTime();
    if (birth.isValid())
        return birth;
    source = FolderListing::TimeSource::EarliestKnownTime;
    QDateTime earliest = info.lastModified();
    const QDateTime changed = info.metadataChangeTime();
    if (changed.isValid() && changed < earliest)
        earliest = changed;
    return earliest;
}

} // namespace

QString FolderListing::goneMessage(const QString &name)
{
    return QStringLiteral("\"%1\" is no longer in the library: it was renamed, moved or deleted.").arg(DataPaths::shownName(name));
}

FolderListing::Result FolderListing::list(const QString &folder, const QString &extension)
{
    Result result;
    const QDir dir(folder);
    if (!dir.exists())
        return result;

    const QString suffix = QLatin1Char('.') + extension;
    const QFileInfoList infos = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    QList<Entry> entries;
    for (const QFileInfo &info : infos) {
        const QString name = info.fileName();
        if (name.size() <= suffix.size() || !name.endsWith(suffix, Qt::CaseInsensitive))
            continue;
        // A name no command would take (a backslash, a control character) is not offered.
        if (!DataPaths::isSafeFileName(name))
            continue;
        ++result.matches;
        if (entries.size() < maxEntries)
            entries.append({name, creationTime(info, result.timeSource)});
    }
    if (result.matches > maxEntries) {
        result.tooMany = true;
        return result;
    }
    // Newest first; files made at the same moment in name order, so the list is stable.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.created != b.created)
            return a.created > b.created;
        return a.name < b.name;
    });
    for (const Entry &entry : entries)
        result.names.append(entry.name);
    return result;
}
