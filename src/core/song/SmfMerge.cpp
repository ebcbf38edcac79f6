#include "core/song/SmfMerge.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

struct Event
{
    std::uint64_t tick;
    int track;
    int order;          // within its track
    QByteArray bytes;   // the event without its delta time, status included
};

quint32 be32(const QByteArray &b, qsizetype at)
{
    return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16 | quint32(quint8(b[at + 2])) << 8
           | quint32(quint8(b[at + 3]));
}

int be16(const QByteArray &b, qsizetype at)
{
    return int(quint8(b[at])) << 8 | int(quint8(b[at + 1]));
}

void put32(QByteArray &out, quint32 v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

void putVarLength(QByteArray &out, quint32 value)
{
    char bytes[4];
    int n = 0;
    bytes[n++] = char(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[n++] = char((value & 0x7F) | 0x80);
    while (n > 0)
        out.append(bytes[--n]);
}

// Reads one track's events; false with `why` when the track is damaged or has no End of Track.
class TrackReader
{
public:
    TrackReader(const QByteArray &file, qsizetype begin, qsizetype end, int track)
        : bytes(file), at(begin), stop(end), index(track)
    {
    }

    bool read(std::vector<Event> &events, std::uint64_t *endTick, QString *why)
    {
        std::uint64_t tick = 0;
        quint8 running = 0;
        int order = 0;
        while (at < stop) {
            quint32 delta = 0;
            if (!varLength(&delta))
                return fail(why, QStringLiteral("a time runs past its end"));
            tick += delta;
            if (at >= stop)
                return fail(why, QStringLiteral("it ends inside an event"));
            quint8 status = quint8(bytes[at]);
            if (status < 0x80) {
                if (running == 0)
                    return fail(why, QStringLiteral("a data byte has no status to belong to"));
                status = running;   // running status: the data starts here
            } else {
                ++at;
            }
            QByteArray event(1, char(status));
            if (status == 0xFF) {
                if (at >= stop)
                    return fail(why, QStringLiteral("it ends inside an event"));
                const quint8 type = quint8(bytes[at++]);
                quint32 length = 0;
                const qsizetype lengthAt = at;
                if (!varLength(&length) || qsizetype(length) > stop - at)
                    return fail(why, QStringLiteral("an event runs past its end"));
                if (type == 0x2F) {   // End of Track: the track ends here, whatever follows
                    *endTick = tick;
                    return true;
                }
                event.append(char(type)).append(bytes.mid(lengthAt, at - lengthAt + qsizetype(length)));
                at += qsizetype(length);
            } else if (status == 0xF0 || status == 0xF7) {
                quint32 length = 0;
                const qsizetype lengthAt = at;
                if (!varLength(&length) || qsizetype(length) > stop - at)
                    return fail(why, QStringLiteral("an event runs past its end"));
                event.append(bytes.mid(lengthAt, at - lengthAt + qsizetype(length)));
                at += qsizetype(length);
            } else if (status >= 0x80 && status < 0xF0) {
                running = status;
                const int data = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
                if (stop - at < data)
                    return fail(why, QStringLiteral("an event runs past its end"));
                for (int i = 0; i < data; ++i) {
                    if (quint8(bytes[at]) >= 0x80)
                        return fail(why, QStringLiteral("a channel message lacks its data"));
                    event.append(bytes[at++]);
                }
            } else {
                return fail(why, QStringLiteral("it holds a status byte no MIDI file may hold"));
            }
            events.push_back({tick, index, order++, event});
        }
        *why = QStringLiteral("track %1 has no End of Track").arg(index + 1);
        return false;
    }

private:
    bool varLength(quint32 *value)
    {
        *value = 0;
        for (int i = 0; i < 4; ++i) {
            if (at >= stop)
                return false;
            const quint8 b = quint8(bytes[at++]);
            *value = (*value << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }

    bool fail(QString *why, const QString &what) const
    {
        *why = QStringLiteral("track %1 is damaged: %2").arg(index + 1).arg(what);
        return false;
    }

    const QByteArray &bytes;
    qsizetype at;
    qsizetype stop;
    int index;
};

} // namespace

int SmfMerge::format(const QByteArray &file)
{
    if (file.size() < 14 || !file.startsWith("MThd") || be32(file, 4) < 6)
        return -1;
    return be16(file, 8);
}

SmfMerge::Result SmfMerge::toFormatZero(const QByteArray &file)
{
    Result result;
    const auto refuse = [&result](const QString &why) {
        result.problem = why;
        return result;
    };
    const int declared = format(file);
    if (declared < 0)
        return refuse(QStringLiteral("it is not a MIDI file"));
    if (declared == 2)
        return refuse(QStringLiteral("it is of format 2: its tracks are separate songs, which cannot be played as one"));
    if (declared != 0 && declared != 1)
        return refuse(QStringLiteral("its format, %1, is unknown").arg(declared));
    const int trackCount = be16(file, 10);
    const QByteArray division = file.mid(12, 2);
    qsizetype at = 8 + qsizetype(be32(file, 4));
    if (at > file.size())
        return refuse(QStringLiteral("the file is cut short"));

    std::vector<Event> events;
    std::uint64_t end = 0;
    int found = 0;
    while (found < trackCount) {
        if (file.size() - at < 8)
            return refuse(QStringLiteral("the file is cut short: it holds %1 of its %2 tracks").arg(found).arg(trackCount));
        const quint32 length = be32(file, at + 4);
        const qsizetype body = at + 8;
        if (qsizetype(length) > file.size() - body)
            return refuse(QStringLiteral("the file is cut short inside track %1").arg(found + 1));
        if (file.mid(at, 4) == "MTrk") {   // other chunks are skipped, as readers must
            std::uint64_t trackEnd = 0;
            QString why;
            if (!TrackReader(file, body, body + qsizetype(length), found).read(events, &trackEnd, &why))
                return refuse(why);
            end = std::max(end, trackEnd);
            ++found;
        }
        at = body + qsizetype(length);
    }
    if (trackCount == 0)
        return refuse(QStringLiteral("it holds no track"));

    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        return a.tick != b.tick ? a.tick < b.tick : (a.track != b.track ? a.track < b.track : a.order < b.order);
    });
    QByteArray track;
    std::uint64_t previous = 0;
    for (const Event &e : events) {
        // A merged delta never exceeds the delta of the event's own track, which was readable.
        putVarLength(track, quint32(e.tick - previous));
        previous = e.tick;
        track.append(e.bytes);
    }
    putVarLength(track, quint32(std::max(end, previous) - previous));
    track.append(char(0xFF)).append(char(0x2F)).append(char(0x00));

    QByteArray out("MThd", 4);
    put32(out, 6);
    out.append(char(0)).append(char(0)).append(char(0)).append(char(1)).append(division);
    out.append("MTrk", 4);
    put32(out, quint32(track.size()));
    out.append(track);
    result.ok = true;
    result.file = out;
    result.tracks = found;
    return result;
}
