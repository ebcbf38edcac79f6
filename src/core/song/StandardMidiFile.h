#pragma once

#include "core/song/TempoMap.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A Standard MIDI File read for playback: formats 0 and 1, all tracks merged into one list of
// events in time order, with times in milliseconds from the tempo map. The reader trusts nothing
// in the file: every chunk length, variable-length quantity, event length and the declared track
// count is checked against the bytes that are really there.
class StandardMidiFile
{
public:
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;

    struct Event
    {
        quint32 tick = 0;
        double ms = 0.0;
        int track = 0;
        quint8 status = 0;     // channel status byte, 0xF0 for SysEx, 0xFF for meta events
        quint8 data1 = 0;      // channel data; the meta type for meta events
        quint8 data2 = 0;
        QByteArray data;       // SysEx body (without F0) or meta payload

        bool isChannel() const { return status >= 0x80 && status < 0xF0; }
        int channel() const { return status & 0x0F; }
        int kind() const { return status & 0xF0; }
    };

    struct Result
    {
        bool ok = false;
        QString message;   // why the file was refused
    };

    Result parse(const QByteArray &bytes);
    Result load(const QString &path);

    int format() const { return fileFormat; }
    int trackCount() const { return tracks; }
    const std::vector<Event> &events() const { return eventList; }
    const TempoMap &tempoMap() const { return map; }
    // The song ends at the last end-of-track event (or the last event of a track without one).
    double lengthMs() const { return songLengthMs; }

private:
    int fileFormat = 0;
    int tracks = 0;
    std::vector<Event> eventList;
    TempoMap map = TempoMap::metrical(96);
    double songLengthMs = 0.0;
};
