#pragma once

#include <QByteArray>
#include <QString>

// Turns a Standard MIDI File of format 1 (several tracks played together, as nearly every MIDI
// file in the wild is) into format 0 (one track), which is all the instrument takes. The
// tracks' events are merged in time order; at equal times the tracks keep their file order,
// and the events of one track their own order. Every event is kept as it is: notes and other
// channel messages, tempo, time signature, markers and every other meta event, SysEx (F0 and
// F7 escapes). One End of Track closes the merged track, at the latest end of any track. Every
// channel message is written with its status byte (running status is expanded, never carried
// across another track's event). The time division is kept.
//
// Refused, with a message that says why: what is not a MIDI file, format 2 (independent
// songs, one per track), a track without its End of Track, a file cut short, and a track that
// is damaged (a data byte with no status to run on, an event running past its track).
class SmfMerge
{
public:
    struct Result
    {
        bool ok = false;
        QByteArray file;    // the format-0 file
        QString problem;    // why not
        int tracks = 0;     // the tracks that were merged
    };

    static Result toFormatZero(const QByteArray &file);
    // The format a file declares in its header: 0, 1 or 2, or -1 when it has no MIDI header.
    static int format(const QByteArray &file);
};
