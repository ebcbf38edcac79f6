// A format-1 song merged into format 0, checked against two readings of the original that do
// not share the merge's code: the player's reader (channel events, tempo map, SysEx, length) and
// a reader of this test's own that lists every event with its track, for what the player's leaves
// out (meta events, F7 escapes) and for the order at equal times.
#include "core/base/FileKind.h"
#include "core/song/MarkerScan.h"
#include "core/song/SmfMerge.h"
#include "core/song/StandardMidiFile.h"
#include "core/transfer/SendPreparation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString data(const char *name)
{
    return QStringLiteral(ZORVIK_TEST_DATA "/format1/") + QLatin1String(name);
}

// Every event but End of Track, as (tick, track, bytes with the status written out), in file
// order per track. Kept simple on purpose: it trusts the test files.
struct Listed
{
    quint64 tick;
    int track;
    QByteArray bytes;
    bool operator==(const Listed &o) const { return tick == o.tick && bytes == o.bytes; }
};

QList<Listed> listEvents(const QByteArray &file, quint64 *end = nullptr)
{
    QList<Listed> list;
    auto u = [&file](qsizetype i) { return quint8(file.at(i)); };
    qsizetype at = 14;
    int track = 0;
    while (at + 8 <= file.size()) {
        const qsizetype length = qsizetype(u(at + 4)) << 24 | qsizetype(u(at + 5)) << 16 | qsizetype(u(at + 6)) << 8 | u(at + 7);
        qsizetype p = at + 8;
        const qsizetype stop = p + length;
        quint64 tick = 0;
        quint8 running = 0;
        auto vlq = [&] {
            quint64 v = 0;
            quint8 b;
            do {
                b = u(p++);
                v = v << 7 | (b & 0x7F);
            } while (b & 0x80);
            return v;
        };
        while (p < stop) {
            tick += vlq();
            quint8 status = u(p);
            if (status >= 0x80)
                ++p;
            else
                status = running;
            QByteArray bytes(1, char(status));
            if (status == 0xFF || status == 0xF0 || status == 0xF7) {
                if (status == 0xFF)
                    bytes.append(char(u(p++)));
                const qsizetype lengthAt = p;
                const qsizetype n = qsizetype(vlq());
                bytes.append(file.mid(lengthAt, p - lengthAt + n));
                p += n;
                if (status == 0xFF && bytes.at(1) == 0x2F) {
                    if (end)
                        *end = std::max(*end, tick);
                    break;
                }
            } else {
                running = status;
                const int n = (status & 0xE0) == 0xC0 ? 1 : 2;
                bytes.append(file.mid(p, n));
                p += n;
            }
            list.append({tick, track, bytes});
        }
        at = stop;
        ++track;
    }
    return list;
}

} // namespace

class TestSmfMerge : public QObject
{
    Q_OBJECT

private slots:
    void mergesIntoOneTrack_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("tempo in a later track") << data("tempo-in-a-later-track.mid");
        QTest::newRow("running status across tracks") << data("running-status-across-tracks.mid");
        QTest::newRow("SysEx and meta events") << data("sysex-and-meta-events.mid");
        QTest::newRow("equal times") << data("equal-times.mid");
    }
    void mergesIntoOneTrack()
    {
        QFETCH(QString, file);
        const QByteArray original = readFile(file);
        QCOMPARE(SmfMerge::format(original), 1);
        const SmfMerge::Result merged = SmfMerge::toFormatZero(original);
        QVERIFY2(merged.ok, qPrintable(merged.problem));
        QCOMPARE(SmfMerge::format(merged.file), 0);
        QCOMPARE(merged.file.mid(10, 4), QByteArray::fromHex("0001") + original.mid(12, 2));   // one track, same division

        // Every event, in time order; at equal times the tracks in file order.
        quint64 end = 0;
        QList<Listed> expected = listEvents(original, &end);
        std::stable_sort(expected.begin(), expected.end(), [](const Listed &a, const Listed &b) {
            return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
        });
        quint64 mergedEnd = 0;
        const QList<Listed> got = listEvents(merged.file, &mergedEnd);
        QCOMPARE(got, expected);
        QCOMPARE(mergedEnd, end);   // one End of Track, at the latest track's end
        QCOMPARE(merged.file.count(QByteArray::fromHex("ff2f00")), 1);

        // The player's reading: the same channel events at the same ticks, the same tempo map,
        // the same SysEx and the same length.
        StandardMidiFile before;
        StandardMidiFile after;
        QVERIFY(before.parse(original).ok);
        QVERIFY(after.parse(merged.file).ok);
        QCOMPARE(after.events().size(), before.events().size());
        for (std::size_t i = 0; i < before.events().size(); ++i) {
            const auto &a = before.events()[i];
            const auto &b = after.events()[i];
            QCOMPARE(b.tick, a.tick);
            QCOMPARE(b.status, a.status);
            QCOMPARE(b.data1, a.data1);
            QCOMPARE(b.data2, a.data2);
            QCOMPARE(b.data, a.data);
            QCOMPARE(b.ms, a.ms);
        }
        QCOMPARE(after.lengthMs(), before.lengthMs());

        // It is what the instrument takes: the program's own check and marker scan.
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("merged.mid"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(merged.file);
        out.close();
        const SendPreparation::Result prepared = SendPreparation::prepareFile(FileKind::Song, path, QStringLiteral("merged.mid"));
        QVERIFY2(prepared.ok, qPrintable(prepared.problem.text));
        QCOMPARE(prepared.image, merged.file);
        QStringList markers;
        for (const Listed &e : expected)
            if (e.bytes.startsWith("\xff\x06"))
                markers.append(QString::fromLatin1(e.bytes.mid(3)));
        QCOMPARE(MarkerScan::markers(merged.file), markers);
    }

    // Running status is written out: every channel message of the merged track has its status.
    void everyChannelMessageHasItsStatus()
    {
        const SmfMerge::Result merged = SmfMerge::toFormatZero(readFile(data("running-status-across-tracks.mid")));
        QVERIFY(merged.ok);
        const QByteArray body = merged.file.mid(22);
        QCOMPARE(body.toHex(),
                 QByteArray("00903050" "05b10764" "05903151" "05b10a40" "05903252" "05b10750"
                            "00c105" "03c106" "02903000" "00903100" "00903200" "00ff2f00"));
    }

    void refusesWhatCannotBeMerged_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("problem");
        QTest::newRow("format 2") << data("format-2.mid") << QStringLiteral("it is of format 2: its tracks are separate songs, which cannot be played as one");
        QTest::newRow("no End of Track") << data("track-without-end.mid") << QStringLiteral("track 2 has no End of Track");
        QTest::newRow("cut short") << data("cut-short.mid") << QStringLiteral("the file is cut short inside track 2");
        QTest::newRow("data without status") << data("data-without-status.mid")
                                             << QStringLiteral("track 2 is damaged: a data byte has no status to belong to");
        QTest::newRow("not a MIDI file") << QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx") << QStringLiteral("it is not a MIDI file");
    }
    void refusesWhatCannotBeMerged()
    {
        QFETCH(QString, file);
        QFETCH(QString, problem);
        const SmfMerge::Result merged = SmfMerge::toFormatZero(readFile(file));
        QVERIFY(!merged.ok);
        QCOMPARE(merged.problem, problem);
        QVERIFY(merged.file.isEmpty());
    }

    // Every cut of a good file is refused or merged, never read past its end.
    void everyCutIsSafe()
    {
        const QByteArray whole = readFile(data("sysex-and-meta-events.mid"));
        for (qsizetype n = 0; n < whole.size(); ++n) {
            const SmfMerge::Result merged = SmfMerge::toFormatZero(whole.left(n));
            QVERIFY(!merged.ok);
            QVERIFY(!merged.problem.isEmpty());
        }
    }

    // Songs as people have them: ZORVIK_FORMAT1_DIR names a folder of format-1 files, each of
    // which must merge and then read as the original does.
    void mergesAFolderOfSongs()
    {
        const QString folder = qEnvironmentVariable("ZORVIK_FORMAT1_DIR");
        if (folder.isEmpty())
            QSKIP("ZORVIK_FORMAT1_DIR not set");
        const QStringList names = QDir(folder).entryList({QStringLiteral("*.mid")}, QDir::Files, QDir::Name);
        QVERIFY(!names.isEmpty());
        for (const QString &name : names) {
            const QByteArray original = readFile(QDir(folder).filePath(name));
            const SmfMerge::Result merged = SmfMerge::toFormatZero(original);
            QVERIFY2(merged.ok, qPrintable(name + QStringLiteral(": ") + merged.problem));
            StandardMidiFile before;
            StandardMidiFile after;
            QVERIFY(before.parse(original).ok && after.parse(merged.file).ok);
            QCOMPARE(after.events().size(), before.events().size());
            for (std::size_t i = 0; i < before.events().size(); ++i) {
                QCOMPARE(after.events()[i].tick, before.events()[i].tick);
                QCOMPARE(after.events()[i].status, before.events()[i].status);
                QCOMPARE(after.events()[i].data1, before.events()[i].data1);
                QCOMPARE(after.events()[i].data2, before.events()[i].data2);
            }
            QCOMPARE(after.lengthMs(), before.lengthMs());
            qInfo().noquote() << name << merged.tracks << "tracks," << original.size() << "->" << merged.file.size()
                              << "bytes," << after.events().size() << "events," << after.lengthMs() / 1000.0 << "s";
        }
    }
};

QTEST_APPLESS_MAIN(TestSmfMerge)
#include "tst_SmfMerge.moc"
