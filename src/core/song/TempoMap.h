#pragma once

#include <QtGlobal>

#include <vector>

// Converts ticks to milliseconds for one song. Metrical division: every tempo change (microseconds
// per quarter note) starts a new segment; before the first change the tempo is 120 BPM. SMPTE
// division: a fixed number of ticks per second, tempo changes do not apply.
class TempoMap
{
public:
    static constexpr quint32 defaultTempo = 500000;   // microseconds per quarter note

    // ticksPerQuarter > 0.
    static TempoMap metrical(int ticksPerQuarter);
    // framesPerSecond 24, 25, 29 (29.97) or 30; ticksPerFrame > 0.
    static TempoMap smpte(int framesPerSecond, int ticksPerFrame);

    // Tempo changes must be added in tick order (equal ticks: the last one wins).
    void addTempo(quint32 tick, quint32 microsecondsPerQuarter);

    double msAt(quint32 tick) const;

    struct Segment
    {
        quint32 tick = 0;
        quint32 tempo = defaultTempo;
        double ms = 0.0;   // time at the segment's first tick
    };
    const std::vector<Segment> &segments() const { return segmentList; }

private:
    bool smpteTime = false;
    double msPerTickSmpte = 0.0;
    int division = 96;
    std::vector<Segment> segmentList{Segment{}};
};
