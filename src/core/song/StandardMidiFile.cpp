#include "core/song/StandardMidiFile.h"

#include "core/base/SafeFile.h"

#include <algorithm>

namespace {

// A read position that refuses to step past the end of the bytes it was given.
class Cursor
{
public:
    Cursor(const char *bytes, qsizetype length) : data(bytes), size(length) {}

    qsizetype left() const { return size - pos; }
    qsizetype position() const { return pos; }
    bool atEnd() const { return pos >= size; }

    bool byte(quint8 &out)
    {
        if (pos >= size)
            return false;
        out = quint8(data[pos++]);
        return true;
    }
    bool peek(quint8 &out) const
    {
        if (pos >= size)
            return false;
        out = quint8(data[pos]);
        return true;
    }
    // At most four bytes, as the file format allows (values up to 0x0FFFFFFF).
    bool varLength(quint32 &out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            quint8 b;
            if (!byte(b))
                return false;
            out = (out << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
    bool bytes(quint32 count, QByteArray &out)
    {
        if (count > quint64(left()))
            return false;
        out = QByteArray(data + pos, qsizetype(count));
        pos += count;
        return true;
    }

private:
    const char *data;
    qsizetype size;
    qsizetype pos = 0;
};

quint32 be32(const char *p)
{
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8)
        | quint32(quint8(p[3]));
}

quint16 be16(const char *p)
{
    return quint16((quint8(p[0]) << 8) | quint8(p[1]));
}

StandardMidiFile::Result refuse(const QString &message)
{
    return {false, message};
}

} // namespace

StandardMidiFile::Result StandardMidiFile::load(const QString &path)
{
    const SafeFile::ReadResult file = SafeFile::read(path, maxFileSize);
    if (file.status == SafeFile::ReadResult::Status::CannotOpen)
        return refuse(QStringLiteral("The file cannot be opened."));
    if (file.status == SafeFile::ReadResult::Status::TooLarge)
        return refuse(QStringLiteral("The file is too large for a song."));
    return parse(file.bytes);
}

StandardMidiFile::Result StandardMidiFile::parse(const QByteArray &bytes)
{
    eventList.clear();
    songLengthMs = 0.0;
    tracks = 0;

    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    if (size < 14 || be32(data) != 0x4D546864u)   // "MThd"
        return refuse(QStringLiteral("The file is not a MIDI file."));
    const quint32 headerLength = be32(data + 4);
    if (headerLength < 6 || headerLength > quint64(size - 8))
        return refuse(QStringLiteral("The MIDI file header is damaged."));
    fileFormat = be16(data + 8);
    const int declaredTracks = be16(data + 10);
    const quint16 division = be16(data + 12);
    if (fileFormat > 1)
        return refuse(QStringLiteral("Only MIDI file formats 0 and 1 can be played."));
    if (declaredTracks == 0)
        return refuse(QStringLiteral("The MIDI file holds no tracks."));

    if (division & 0x8000) {
        const int fps = -qint8(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0)
            return refuse(QStringLiteral("The MIDI file's time division is invalid."));
        map = TempoMap::smpte(fps, ticksPerFrame);
    } else {
        if (division == 0)
            return refuse(QStringLiteral("The MIDI file's time division is invalid."));
        map = TempoMap::metrical(division);
    }

    std::vector<quint32> trackEnds;
    qsizetype chunk = 8 + qsizetype(headerLength);
    while (tracks < declaredTracks) {
        if (size - chunk < 8)
            return refuse(QStringLiteral("The MIDI file declares %1 tracks but holds %2.").arg(declaredTracks).arg(tracks));
        const quint32 id = be32(data + chunk);
        const quint32 length = be32(data + chunk + 4);
        if (length > quint64(size - chunk - 8))
            return refuse(QStringLiteral("A chunk of the MIDI file runs past its end."));
        if (id != 0x4D54726Bu) {   // not "MTrk": an unknown chunk, skipped as the format asks
            chunk += 8 + qsizetype(length);
            continue;
        }
        Cursor in(data + chunk + 8, qsizetype(length));
        quint32 tick = 0;
        quint8 running = 0;
        bool ended = false;
        while (!in.atEnd() && !ended) {
            quint32 delta;
            if (!in.varLength(delta))
                return refuse(QStringLiteral("Track %1 is damaged (delta time).").arg(tracks + 1));
            if (quint64(tick) + delta > 0xFFFFFFFFull)
                return refuse(QStringLiteral("Track %1 is too long.").arg(tracks + 1));
            tick += delta;
            quint8 first;
            if (!in.peek(first))
                return refuse(QStringLiteral("Track %1 ends inside an event.").arg(tracks + 1));
            Event event;
            event.tick = tick;
            event.track = tracks;
            if (first & 0x80) {
                in.byte(first);
                event.status = first;
            } else if (running) {
                event.status = running;
            } else {
                return refuse(QStringLiteral("Track %1 has data without a status byte.").arg(tracks + 1));
            }

            if (event.status < 0xF0) {
                running = event.status;
                const int needed = (event.kind() == 0xC0 || event.kind() == 0xD0) ? 1 : 2;
                quint8 d[2] = {0, 0};
                for (int i = 0; i < needed; ++i) {
                    if (!in.byte(d[i]) || (d[i] & 0x80))
                        return refuse(QStringLiteral("Track %1 has a damaged channel message.").arg(tracks + 1));
                }
                event.data1 = d[0];
                event.data2 = d[1];
                eventList.push_back(std::move(event));
            } else if (event.status == 0xFF) {
                running = 0;
                quint8 type;
                quint32 metaLength;
                if (!in.byte(type) || !in.varLength(metaLength) || !in.bytes(metaLength, event.data))
                    return refuse(QStringLiteral("Track %1 has a damaged meta event.").arg(tracks + 1));
                event.data1 = type;
                if (type == 0x2F) {
                    ended = true;
                } else {
                    if (type == 0x51 && metaLength != 3)
                        return refuse(QStringLiteral("Track %1 has a damaged tempo change.").arg(tracks + 1));
                    eventList.push_back(std::move(event));
                }
            } else if (event.status == 0xF0 || event.status == 0xF7) {
                running = 0;
                quint32 sysExLength;
                if (!in.varLength(sysExLength) || !in.bytes(sysExLength, event.data))
                    return refuse(QStringLiteral("Track %1 has a damaged SysEx message.").arg(tracks + 1));
                if (event.status == 0xF0) {   // F7 escapes are not forwarded to the synthesizer
                    if (event.data.endsWith('\xF7'))
                        event.data.chop(1);
                    eventList.push_back(std::move(event));
                }
            } else {
                return refuse(QStringLiteral("Track %1 has a status byte that a file cannot hold.").arg(tracks + 1));
            }
        }
        trackEnds.push_back(tick);
        ++tracks;
        chunk += 8 + qsizetype(length);
    }

    // Time order; within one tick, earlier tracks first and each track's own order kept.
    std::stable_sort(eventList.begin(), eventList.end(), [](const Event &a, const Event &b) {
        return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
    });
    for (const Event &e : eventList) {
        if (e.status == 0xFF && e.data1 == 0x51) {
            const char *t = e.data.constData();
            map.addTempo(e.tick, (quint32(quint8(t[0])) << 16) | (quint32(quint8(t[1])) << 8) | quint8(t[2]));
        }
    }
    for (Event &e : eventList)
        e.ms = map.msAt(e.tick);
    quint32 endTick = 0;
    for (quint32 t : trackEnds)
        endTick = std::max(endTick, t);
    songLengthMs = map.msAt(endTick);
    return {true, {}};
}
