#include "core/song/CsfSongImage.h"
#include "core/song/SmfBuilder.h"
#include "core/song/StandardMidiFile.h"
#include "support/TestSongs.h"

#include <QDir>
#include <QObject>
#include <QTest>

// The song file reader and the .csf song image.
class TestSongFiles : public QObject
{
    Q_OBJECT

private slots:
    void lengthFollowsTheTempoMap();
    void runningStatusAndMetaEvents();
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
    void everyCutOfAGoodFileIsSafe();
    void smpteDivisionIsTicksPerSecond();
    void csfImageIsTheEmbeddedSong();
    void csfWithoutACompleteSongIsRefused_data();
    void csfWithoutACompleteSongIsRefused();
    void demoLibrarySongsAreFormat0WithMarkers();
};

void TestSongFiles::lengthFollowsTheTempoMap()
{
    // Given a format 1 song: the tempo track holds two changes, the notes sit in track 2
    SmfBuilder smf(1, 480);
    const int tempo = smf.addTrack();
    const int notes = smf.addTrack();
    smf.tempoBpm(tempo, 0, 120);           // 100 beats = 50 s
    smf.tempoBpm(tempo, 48000, 60);        // then 25.5 beats = 25.5 s
    smf.note(notes, 480, 480, 0, 60, 90);
    smf.note(notes, 48000 + 480, 480, 0, 62, 90);   // at 51 s
    smf.endOfTrack(notes, 48000 + 12240);

    // When it is read
    StandardMidiFile song;
    QVERIFY(song.parse(smf.build()).ok);

    // Then times come from the tempo changes in whatever track they sit
    QCOMPARE(song.format(), 1);
    QCOMPARE(song.trackCount(), 2);
    QCOMPARE(song.lengthMs(), 75500.0);
    std::vector<double> noteOns;
    for (const auto &e : song.events())
        if (e.kind() == 0x90 && e.data2 > 0)
            noteOns.push_back(e.ms);
    QCOMPARE(noteOns, (std::vector<double>{500.0, 51000.0}));
}

void TestSongFiles::runningStatusAndMetaEvents()
{
    // Note on, then two more notes under running status, a marker between them, SysEx, end.
    const QByteArray track = QByteArray::fromHex("00903C64"      // note on 60
                                                 "603E64"        // running status: note on 62
                                                 "00FF0603616263" // marker "abc" (cancels running status)
                                                 "00903C00"      // note off 60
                                                 "00F0037E7FF7"  // SysEx
                                                 "813F803E00"    // 191 ticks later: note off 62
                                                 "00FF2F00");
    QByteArray file = QByteArray::fromHex("4D546864000000060000000101E0") + "MTrk";
    file += QByteArray::fromHex(QByteArray::number(track.size(), 16).rightJustified(8, '0')) + track;

    StandardMidiFile song;
    const auto result = song.parse(file);
    QVERIFY2(result.ok, qPrintable(result.message));
    const auto &ev = song.events();
    QCOMPARE(int(ev.size()), 6);
    QCOMPARE(int(ev[1].status), 0x90);
    QCOMPARE(int(ev[1].data1), 0x3E);
    QCOMPARE(ev[1].tick, 96u);
    QCOMPARE(int(ev[2].data1), 0x06);
    QCOMPARE(ev[2].data, QByteArray("abc"));
    QCOMPARE(ev[4].data, QByteArray::fromHex("7E7F"));
    QCOMPARE(ev[5].tick, 96u + 191u);
    QCOMPARE(song.lengthMs(), (96.0 + 191.0) * 500.0 / 480.0);
}

void TestSongFiles::damagedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray header = QByteArray::fromHex("4D5468640000000600000001");
    auto withTrack = [&](const QByteArray &h, const QByteArray &body) {
        return h + "MTrk" + QByteArray::fromHex(QByteArray::number(body.size(), 16).rightJustified(8, '0')) + body;
    };
    QTest::newRow("not a MIDI file") << QByteArray("RIFF0000000000");
    QTest::newRow("format 2") << withTrack(QByteArray::fromHex("4D546864000000060002000101E0"), QByteArray::fromHex("00FF2F00"));
    QTest::newRow("no tracks") << QByteArray::fromHex("4D546864000000060000000001E0");
    QTest::newRow("division 0") << withTrack(header + QByteArray::fromHex("0000"), QByteArray::fromHex("00FF2F00"));
    QTest::newRow("header length past the end") << QByteArray::fromHex("4D546864000001000000000101E0");
    QTest::newRow("two tracks declared, one present")
        << withTrack(QByteArray::fromHex("4D546864000000060001000201E0"), QByteArray::fromHex("00FF2F00"));
    QTest::newRow("track length past the end") << header + QByteArray::fromHex("01E0") + "MTrk" + QByteArray::fromHex("0000FFFF00FF2F00");
    QTest::newRow("delta of five bytes") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("8181818101903C64"));
    QTest::newRow("data without status") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("003C64"));
    QTest::newRow("meta length past the track") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("00FF0610616263"));
    QTest::newRow("SysEx length past the track") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("00F07F7E"));
    QTest::newRow("short tempo") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("00FF510207A100FF2F00"));
    QTest::newRow("note cut short") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("00903C"));
    QTest::newRow("data byte above 127") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("00903C80"));
    QTest::newRow("system real-time byte") << withTrack(header + QByteArray::fromHex("01E0"), QByteArray::fromHex("00F8"));
}

void TestSongFiles::damagedFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    StandardMidiFile song;
    const auto result = song.parse(bytes);
    QVERIFY(!result.ok);
    QVERIFY(!result.message.isEmpty());
}

void TestSongFiles::everyCutOfAGoodFileIsSafe()
{
    const QByteArray good = TestSongs::oneNote(0.5, 1.0, 2.0);
    StandardMidiFile song;
    QVERIFY(song.parse(good).ok);
    for (int n = 0; n < good.size(); ++n) {
        // The track's length then points past the end of the file.
        QVERIFY(!song.parse(good.left(n)).ok);
    }
}

void TestSongFiles::smpteDivisionIsTicksPerSecond()
{
    // 25 frames per second, 40 ticks per frame: 1000 ticks per second; tempo changes do not apply
    SmfBuilder smf(0, 0xE728);
    const int t = smf.addTrack();
    smf.tempoBpm(t, 0, 60);
    smf.endOfTrack(t, 2500);
    StandardMidiFile song;
    QVERIFY(song.parse(smf.build()).ok);
    QCOMPARE(song.lengthMs(), 2500.0);
}

void TestSongFiles::csfImageIsTheEmbeddedSong()
{
    const QByteArray song = TestSongs::oneNote(0, 1, 1);
    const QByteArray csf = QByteArray("ZCSF\x01\x00MTh", 9) + song + QByteArray("STYLE-DATA-MThd");
    const auto result = CsfSongImage::extract(csf);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(result.image, song);
    QCOMPARE(result.offset, qsizetype(9));
}

void TestSongFiles::csfWithoutACompleteSongIsRefused_data()
{
    QTest::addColumn<QByteArray>("csf");
    const QByteArray song = TestSongs::oneNote(0, 1, 1);
    QByteArray twoDeclared = song;
    twoDeclared[11] = 2;
    QByteArray notMTrk = song;
    notMTrk.replace(14, 4, "XTrk");
    QTest::newRow("no song") << QByteArray("ZCSF only style data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut") << QByteArray("xxMThd\0\0\0\6", 10);
    QTest::newRow("track cut") << QByteArray("xx") + song.left(song.size() - 1);
    QTest::newRow("second track missing") << twoDeclared;
    QTest::newRow("chunk is not a track") << notMTrk;
}

void TestSongFiles::csfWithoutACompleteSongIsRefused()
{
    QFETCH(QByteArray, csf);
    const auto result = CsfSongImage::extract(csf);
    QVERIFY(!result.ok);
    QVERIFY(result.image.isEmpty());
    QVERIFY(!result.message.isEmpty());
}

void TestSongFiles::demoLibrarySongsAreFormat0WithMarkers()
{
    const QDir demo(QStringLiteral(ZORVIK_TEST_DATA "/../../demo/zorvik"));
    const QStringList songs = QDir(demo.filePath("mid")).entryList({"*.mid"}, QDir::Files);
    QVERIFY(songs.size() >= 3);
    for (const QString &name : songs) {
        StandardMidiFile song;
        const auto result = song.load(demo.filePath("mid/" + name));
        QVERIFY2(result.ok, qPrintable(name + ": " + result.message));
        QCOMPARE(song.format(), 0);
        QVERIFY(song.lengthMs() > 20000.0);
        int markers = 0;
        for (const auto &e : song.events())
            markers += e.status == 0xFF && e.data1 == 0x06;
        QVERIFY2(markers >= 3, qPrintable(name));
    }
    const QStringList csfs = QDir(demo.filePath("csf")).entryList({"*.csf"}, QDir::Files);
    QVERIFY(csfs.size() >= 2);
    for (const QString &name : csfs) {
        const auto image = CsfSongImage::load(demo.filePath("csf/" + name));
        QVERIFY2(image.ok, qPrintable(name + ": " + image.message));
        StandardMidiFile song;
        QVERIFY(song.parse(image.image).ok);
    }
}

QTEST_GUILESS_MAIN(TestSongFiles)
#include "tst_SongFiles.moc"
