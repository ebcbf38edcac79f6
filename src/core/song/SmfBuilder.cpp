#include "core/song/SmfBuilder.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v & 0xFF));
    return out;
}

void appendBe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

SmfBuilder::SmfBuilder(int fileFormat, int ticksPerQuarter) : format(fileFormat), division(ticksPerQuarter) {}

int SmfBuilder::addTrack()
{
    trackList.emplace_back();
    return int(trackList.size()) - 1;
}

void SmfBuilder::add(int track, quint32 tick, QByteArray bytes)
{
    trackList.at(std::size_t(track)).items.push_back({tick, std::move(bytes)});
}

void SmfBuilder::noteOn(int track, quint32 tick, int channel, int key, int velocity)
{
    add(track, tick, bytesOf({0x90 | (channel & 15), key & 127, velocity & 127}));
}

void SmfBuilder::noteOff(int track, quint32 tick, int channel, int key)
{
    noteOn(track, tick, channel, key, 0);
}

void SmfBuilder::note(int track, quint32 tick, quint32 length, int channel, int key, int velocity)
{
    noteOn(track, tick, channel, key, velocity);
    noteOff(track, tick + length, channel, key);
}

void SmfBuilder::programChange(int track, quint32 tick, int channel, int program)
{
    add(track, tick, bytesOf({0xC0 | (channel & 15), program & 127}));
}

void SmfBuilder::controlChange(int track, quint32 tick, int channel, int controller, int value)
{
    add(track, tick, bytesOf({0xB0 | (channel & 15), controller & 127, value & 127}));
}

void SmfBuilder::tempo(int track, quint32 tick, quint32 microsecondsPerQuarter)
{
    QByteArray payload;
    appendBe(payload, microsecondsPerQuarter, 3);
    meta(track, tick, 0x51, payload);
}

void SmfBuilder::tempoBpm(int track, quint32 tick, double bpm)
{
    tempo(track, tick, quint32(std::lround(60000000.0 / bpm)));
}

void SmfBuilder::marker(int track, quint32 tick, const QByteArray &text)
{
    meta(track, tick, 0x06, text);
}

void SmfBuilder::trackName(int track, quint32 tick, const QByteArray &text)
{
    meta(track, tick, 0x03, text);
}

void SmfBuilder::meta(int track, quint32 tick, int type, const QByteArray &payload)
{
    QByteArray bytes = bytesOf({0xFF, type & 0x7F});
    bytes += varLength(quint32(payload.size()));
    bytes += payload;
    add(track, tick, bytes);
}

void SmfBuilder::endOfTrack(int track, quint32 tick)
{
    Track &t = trackList.at(std::size_t(track));
    t.hasEnd = true;
    t.endTick = tick;
}

QByteArray SmfBuilder::varLength(quint32 value)
{
    QByteArray out(1, char(value & 0x7F));
    while (value >>= 7)
        out.prepend(char(0x80 | (value & 0x7F)));
    return out;
}

QByteArray SmfBuilder::build() const
{
    QByteArray out("MThd");
    appendBe(out, 6, 4);
    appendBe(out, quint32(format), 2);
    appendBe(out, quint32(trackList.size()), 2);
    appendBe(out, quint32(division), 2);
    for (const Track &track : trackList) {
        std::vector<Item> items = track.items;
        std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.tick < b.tick; });
        QByteArray body;
        quint32 now = 0;
        for (const Item &item : items) {
            body += varLength(item.tick - now);
            body += item.bytes;
            now = item.tick;
        }
        const quint32 end = track.hasEnd ? std::max(track.endTick, now) : now;
        body += varLength(end - now);
        body += QByteArray("\xFF\x2F\x00", 3);
        out += "MTrk";
        appendBe(out, quint32(body.size()), 4);
        out += body;
    }
    return out;
}
