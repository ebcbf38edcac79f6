#pragma once

#include <QByteArray>
#include <QString>

// The song held inside a .csf file: the Standard MIDI File that starts at the file's first "MThd"
// chunk and ends with the last of the track chunks its header declares. The bytes around it belong
// to the instrument and are not needed here. A file without a complete song of that shape has no
// song image at all.
class CsfSongImage
{
public:
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;

    struct Result
    {
        bool ok = false;
        QString message;     // why no image could be obtained
        QByteArray image;    // the Standard MIDI File, header chunk first
        qsizetype offset = 0;   // where the image starts inside the .csf file
    };

    static Result extract(const QByteArray &csf);
    static Result load(const QString &path);
};
