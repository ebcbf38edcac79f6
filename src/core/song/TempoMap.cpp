#include "core/song/TempoMap.h"

#include <algorithm>

TempoMap TempoMap::metrical(int ticksPerQuarter)
{
    TempoMap map;
    map.division = std::max(1, ticksPerQuarter);
    return map;
}

TempoMap TempoMap::smpte(int framesPerSecond, int ticksPerFrame)
{
    TempoMap map;
    map.smpteTime = true;
    const double fps = framesPerSecond == 29 ? 29.97 : framesPerSecond;
    map.msPerTickSmpte = 1000.0 / (fps * std::max(1, ticksPerFrame));
    return map;
}

void TempoMap::addTempo(quint32 tick, quint32 microsecondsPerQuarter)
{
    if (smpteTime || microsecondsPerQuarter == 0)
        return;
    Segment &last = segmentList.back();
    if (tick <= last.tick) {
        last.tempo = microsecondsPerQuarter;   // same tick: the later change wins
        return;
    }
    Segment next;
    next.tick = tick;
    next.tempo = microsecondsPerQuarter;
    next.ms = last.ms + double(tick - last.tick) * last.tempo / (1000.0 * division);
    segmentList.push_back(next);
}

double TempoMap::msAt(quint32 tick) const
{
    if (smpteTime)
        return tick * msPerTickSmpte;
    auto it = std::upper_bound(segmentList.begin(), segmentList.end(), tick,
                               [](quint32 t, const Segment &s) { return t < s.tick; });
    const Segment &s = *(it - 1);   // the first segment starts at tick 0, so it is never begin()
    return s.ms + double(tick - s.tick) * s.tempo / (1000.0 * division);
}
