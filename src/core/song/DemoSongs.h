#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The demo library's songs: three format 0 MIDI files with markers for mid/ and two song files
// (the same kind of song inside a small container) for csf/. zorvik-make-demo-songs writes them
// into demo/zorvik, which the program carries as its demo library.
class DemoSongs
{
public:
    struct File
    {
        QString path;       // under the library's root: "mid/zorvik-sunrise.mid"
        QByteArray bytes;
    };

    static QList<File> files();

    // Writes every file under root, making its mid/ and csf/ folders; what went wrong, one line
    // each (nothing when all was written). A file that cannot be written does not keep the
    // others from being written.
    static QStringList write(const QString &root);

    static QByteArray sunrise();
    static QByteArray padGroove();
    static QByteArray joystickWaltz();
    // The song file container: a header block with the style's name, the song, a style block.
    static QByteArray csf(const QByteArray &song, const QByteArray &styleName);
};
