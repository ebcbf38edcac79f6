#include "core/song/DemoSongs.h"

#include "core/song/SmfBuilder.h"

#include <QDir>
#include <QFile>

#include <array>

namespace {

constexpr int ppq = 480;
constexpr quint32 beat = ppq;
constexpr quint32 bar4 = 4 * beat;
constexpr quint32 bar3 = 3 * beat;

// Chord roots of a I-vi-IV-V progression in C, and their triads.
constexpr std::array<int, 4> roots{48, 45, 41, 43};
constexpr std::array<std::array<int, 3>, 4> triads{{{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}}};

void drums(SmfBuilder &smf, int t, quint32 from, int bars, bool busy)
{
    for (int b = 0; b < bars; ++b) {
        const quint32 bar = from + quint32(b) * bar4;
        for (int i = 0; i < 8; ++i)
            smf.note(t, bar + quint32(i) * beat / 2, beat / 4, 9, 42, i % 2 ? 60 : 80);   // closed hi-hat
        smf.note(t, bar, beat / 2, 9, 36, 110);                 // kick
        smf.note(t, bar + 2 * beat, beat / 2, 9, 36, 100);
        if (busy)
            smf.note(t, bar + 2 * beat + beat / 2, beat / 4, 9, 36, 80);
        smf.note(t, bar + beat, beat / 2, 9, 38, 100);          // snare
        smf.note(t, bar + 3 * beat, beat / 2, 9, 38, 100);
    }
}

} // namespace

QByteArray DemoSongs::sunrise()
{
    SmfBuilder smf(0, ppq);
    const int t = smf.addTrack();
    smf.trackName(t, 0, "Zorvik Sunrise");
    smf.tempoBpm(t, 0, 100);
    smf.programChange(t, 0, 0, 0);     // piano
    smf.programChange(t, 0, 1, 33);    // finger bass
    smf.programChange(t, 0, 2, 89);    // warm pad
    smf.controlChange(t, 0, 2, 7, 70);
    const std::array<int, 16> melody{72, 74, 76, 79, 76, 74, 72, 69, 72, 74, 76, 77, 79, 77, 76, 74};
    const char *sections[] = {"Intro", "Verse", "Chorus", "Verse", "Chorus"};
    quint32 now = 0;
    for (int s = 0; s < 5; ++s) {
        smf.marker(t, now, sections[s]);
        for (int b = 0; b < 4; ++b) {
            const quint32 bar = now + quint32(b) * bar4;
            const auto &triad = triads[std::size_t(b)];
            for (int key : triad)
                smf.note(t, bar, bar4 - 20, 2, key, 60);
            smf.note(t, bar, beat * 2 - 20, 1, roots[std::size_t(b)] - 12, 100);
            smf.note(t, bar + 2 * beat, beat * 2 - 20, 1, roots[std::size_t(b)] - 12, 90);
            if (s > 0) {
                for (int i = 0; i < 4; ++i) {
                    const int key = melody[std::size_t((b * 4 + i) % 16)] + (s % 2 == 0 ? 0 : -12);
                    smf.note(t, bar + quint32(i) * beat, beat - 30, 0, key, 96);
                }
            }
        }
        if (s > 0)
            drums(smf, t, now, 4, s % 2 == 0);
        now += 4 * bar4;
    }
    smf.marker(t, now, "End");
    for (int key : {48, 60, 64, 67, 72})
        smf.note(t, now, bar4, 0, key, 90);
    smf.endOfTrack(t, now + bar4 + beat);
    return smf.build();
}

QByteArray DemoSongs::padGroove()
{
    SmfBuilder smf(0, ppq);
    const int t = smf.addTrack();
    smf.trackName(t, 0, "Pad Groove");
    smf.tempoBpm(t, 0, 118);
    smf.programChange(t, 0, 0, 81);    // saw lead
    smf.programChange(t, 0, 1, 38);    // synth bass
    smf.controlChange(t, 0, 0, 7, 80);
    quint32 now = 0;
    const char *sections[] = {"Pads", "Groove", "Lift", "Groove"};
    for (int s = 0; s < 4; ++s) {
        smf.marker(t, now, sections[s]);
        if (s == 2)
            smf.tempoBpm(t, now, 124);   // the lift runs a little faster
        drums(smf, t, now, 4, s >= 2);
        for (int b = 0; b < 4; ++b) {
            const quint32 bar = now + quint32(b) * bar4;
            for (int i = 0; i < 8; ++i)
                smf.note(t, bar + quint32(i) * beat / 2, beat / 2 - 30, 1, roots[std::size_t(b)] - 12 + (i % 2) * 12, 100);
            if (s >= 1)
                for (int i = 0; i < 3; ++i)
                    smf.note(t, bar + quint32(i) * beat + beat / 2, beat / 3, 0, triads[std::size_t(b)][std::size_t(i)] + 12, 80);
        }
        now += 4 * bar4;
    }
    smf.marker(t, now, "End");
    smf.note(t, now, beat, 9, 49, 110);   // crash
    smf.endOfTrack(t, now + 2 * beat);
    return smf.build();
}

QByteArray DemoSongs::joystickWaltz()
{
    SmfBuilder smf(0, ppq);
    const int t = smf.addTrack();
    smf.trackName(t, 0, "Joystick Waltz");
    smf.tempoBpm(t, 0, 150);
    smf.programChange(t, 0, 0, 48);    // strings
    smf.programChange(t, 0, 1, 46);    // harp
    smf.programChange(t, 0, 2, 32);    // acoustic bass
    const std::array<int, 12> tune{76, 79, 84, 83, 79, 76, 74, 77, 81, 79, 74, 71};
    quint32 now = 0;
    const char *sections[] = {"Theme", "Dance", "Theme"};
    for (int s = 0; s < 3; ++s) {
        smf.marker(t, now, sections[s]);
        for (int b = 0; b < 8; ++b) {
            const quint32 bar = now + quint32(b) * bar3;
            const auto &triad = triads[std::size_t(b % 4)];
            smf.note(t, bar, beat - 20, 2, roots[std::size_t(b % 4)] - 12, 100);
            smf.note(t, bar + beat, beat - 40, 1, triad[0], 70);
            smf.note(t, bar + beat, beat - 40, 1, triad[1], 70);
            smf.note(t, bar + 2 * beat, beat - 40, 1, triad[1], 70);
            smf.note(t, bar + 2 * beat, beat - 40, 1, triad[2], 70);
            smf.note(t, bar, bar3 - 20, 0, tune[std::size_t((b * 3 / 2 + s) % 12)], s == 1 ? 100 : 85);
        }
        now += 8 * bar3;
    }
    smf.marker(t, now, "Coda");
    // Ritardando over the last bars.
    for (int i = 0; i < 6; ++i)
        smf.tempoBpm(t, now + quint32(i) * beat, 150 - 15 * i);
    smf.note(t, now, 2 * bar3, 0, 72, 90);
    smf.note(t, now, 2 * bar3, 2, 36, 90);
    for (int i = 0; i < 6; ++i)
        smf.note(t, now + quint32(i) * beat, beat, 1, 60 + 4 * (i % 3), 60);
    smf.endOfTrack(t, now + 2 * bar3);
    return smf.build();
}

QByteArray DemoSongs::csf(const QByteArray &song, const QByteArray &styleName)
{
    QByteArray head("ZCSF");
    head += char(1);
    head += char(0);
    head += styleName.leftJustified(26, '\0', true);
    QByteArray style("STYL");
    style += QByteArray(28, '\x40');
    return head + song + style;
}

QList<DemoSongs::File> DemoSongs::files()
{
    return {
        {QStringLiteral("mid/zorvik-sunrise.mid"), sunrise()},
        {QStringLiteral("mid/pad-groove.mid"), padGroove()},
        {QStringLiteral("mid/joystick-waltz.mid"), joystickWaltz()},
        {QStringLiteral("csf/sunrise-style.csf"), csf(sunrise(), "Sunrise")},
        {QStringLiteral("csf/waltz-style.csf"), csf(joystickWaltz(), "Waltz")},
    };
}

QStringList DemoSongs::write(const QString &root)
{
    const QDir folder(root);
    if (!folder.mkpath(QStringLiteral("mid")) || !folder.mkpath(QStringLiteral("csf")))
        return {QStringLiteral("cannot create the folders under %1").arg(root)};
    QStringList problems;
    for (const File &demo : files()) {
        const QString path = folder.filePath(demo.path);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(demo.bytes) != demo.bytes.size())
            problems.append(QStringLiteral("cannot write %1").arg(path));
    }
    return problems;
}
