#pragma once

#include "core/song/SmfBuilder.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Small songs written for the player tests. 480 ticks per quarter note at 120 BPM: 960 ticks
// make one second.
namespace TestSongs {

constexpr int ppq = 480;
constexpr quint32 second = 960;

// One piano note on channel 0 over [fromSeconds, toSeconds), ending at lengthSeconds.
inline QByteArray oneNote(double fromSeconds, double toSeconds, double lengthSeconds, int key = 60)
{
    SmfBuilder smf(0, ppq);
    const int t = smf.addTrack();
    smf.programChange(t, 0, 0, 0);
    smf.note(t, quint32(fromSeconds * second), quint32((toSeconds - fromSeconds) * second), 0, key, 100);
    smf.endOfTrack(t, quint32(lengthSeconds * second));
    return smf.build();
}

// A silent song of the given length (a single controller at the start).
inline QByteArray quiet(double lengthSeconds)
{
    SmfBuilder smf(0, ppq);
    const int t = smf.addTrack();
    smf.controlChange(t, 0, 0, 7, 100);
    smf.endOfTrack(t, quint32(lengthSeconds * second));
    return smf.build();
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace TestSongs
