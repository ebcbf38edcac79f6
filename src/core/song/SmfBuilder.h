#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// Writes Standard MIDI Files: the demo songs, and the songs that tests and benchmarks play.
// Events are added at absolute ticks in any order; each track is sorted (stable) when built.
class SmfBuilder
{
public:
    SmfBuilder(int format, int ticksPerQuarter);

    // Returns the new track's index.
    int addTrack();

    void noteOn(int track, quint32 tick, int channel, int key, int velocity);
    void noteOff(int track, quint32 tick, int channel, int key);
    // A note-on at tick and its note-off (velocity 0) after length ticks.
    void note(int track, quint32 tick, quint32 length, int channel, int key, int velocity);
    void programChange(int track, quint32 tick, int channel, int program);
    void controlChange(int track, quint32 tick, int channel, int controller, int value);
    void tempo(int track, quint32 tick, quint32 microsecondsPerQuarter);
    void tempoBpm(int track, quint32 tick, double bpm);
    void marker(int track, quint32 tick, const QByteArray &text);
    void trackName(int track, quint32 tick, const QByteArray &text);
    void meta(int track, quint32 tick, int type, const QByteArray &payload);
    // The end-of-track event; without one, build() ends the track after its last event.
    void endOfTrack(int track, quint32 tick);

    QByteArray build() const;

    static QByteArray varLength(quint32 value);

private:
    struct Item
    {
        quint32 tick;
        QByteArray bytes;   // the event without its delta time
    };
    struct Track
    {
        std::vector<Item> items;
        bool hasEnd = false;
        quint32 endTick = 0;
    };

    void add(int track, quint32 tick, QByteArray bytes);

    int format;
    int division;
    std::vector<Track> trackList;
};
