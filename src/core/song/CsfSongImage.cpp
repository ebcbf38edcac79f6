#include "core/song/CsfSongImage.h"

#include "core/base/SafeFile.h"

namespace {

quint32 be32(const char *p)
{
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8)
        | quint32(quint8(p[3]));
}

CsfSongImage::Result refuse(const QString &message)
{
    CsfSongImage::Result result;
    result.message = message;
    return result;
}

} // namespace

CsfSongImage::Result CsfSongImage::extract(const QByteArray &csf)
{
    const qsizetype start = csf.indexOf("MThd");
    if (start < 0)
        return refuse(QStringLiteral("The file holds no song."));
    const char *data = csf.constData();
    const qsizetype size = csf.size();
    if (size - start < 14)
        return refuse(QStringLiteral("The song's header is cut short."));
    const quint32 headerLength = be32(data + start + 4);
    if (headerLength < 6 || headerLength > quint64(size - start - 8))
        return refuse(QStringLiteral("The song's header is damaged."));
    const int tracks = (quint8(data[start + 10]) << 8) | quint8(data[start + 11]);
    if (tracks == 0)
        return refuse(QStringLiteral("The song declares no tracks."));

    qsizetype end = start + 8 + qsizetype(headerLength);
    for (int i = 0; i < tracks; ++i) {
        if (size - end < 8 || be32(data + end) != 0x4D54726Bu)   // "MTrk"
            return refuse(QStringLiteral("The song's track %1 is missing.").arg(i + 1));
        const quint32 length = be32(data + end + 4);
        if (length > quint64(size - end - 8))
            return refuse(QStringLiteral("The song's track %1 is cut short.").arg(i + 1));
        end += 8 + qsizetype(length);
    }

    Result result;
    result.ok = true;
    result.offset = start;
    result.image = csf.mid(start, end - start);
    return result;
}

CsfSongImage::Result CsfSongImage::load(const QString &path)
{
    const SafeFile::ReadResult file = SafeFile::read(path, maxFileSize);
    if (file.status == SafeFile::ReadResult::Status::CannotOpen)
        return refuse(QStringLiteral("The file cannot be opened."));
    if (file.status == SafeFile::ReadResult::Status::TooLarge)
        return refuse(QStringLiteral("The file is too large for a song file."));
    return extract(file.bytes);
}
