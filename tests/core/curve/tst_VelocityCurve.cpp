#include "core/curve/CurveFile.h"
#include "core/curve/CurveSlotSet.h"
#include "core/curve/VelocityCurve.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

VelocityMap computed(const VelocityCurve &curve)
{
    VelocityMap map{};
    curve.computeMap(map);
    return map;
}

bool isValidMap(const VelocityMap &map)
{
    for (std::size_t s = 0; s < map.size(); ++s) {
        if (map[s] < 1 || map[s] > 127 || (s > 0 && map[s] < map[s - 1]))
            return false;
    }
    return true;
}

} // namespace

class TestVelocityCurve : public QObject
{
    Q_OBJECT

private slots:
    void defaultCurveWorkedValues()
    {
        const VelocityMap map = computed(VelocityCurve{});
        QCOMPARE(map[0], 1);
        const int sources[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 127};
        const int expected[] = {20, 32, 39, 42, 44, 47, 54, 66, 79, 93, 108, 119, 127};
        for (std::size_t i = 0; i < std::size(sources); ++i)
            QCOMPARE(map[static_cast<std::size_t>(sources[i])], expected[i]);
        QVERIFY(isValidMap(map));
        // Computing twice from the same points gives the same map.
        VelocityMap again = map;
        VelocityCurve{}.computeMap(again);
        QCOMPARE(again, map);
    }

    void diagonalIsIdentity()
    {
        VelocityCurve curve;
        curve.keyNew = curve.keySource;
        const VelocityMap map = computed(curve);
        QCOMPARE(map[0], 1);
        for (int s = 1; s < 128; ++s)
            QCOMPARE(map[static_cast<std::size_t>(s)], s);
    }

    void degenerateSegmentsKeepOldEntries()
    {
        VelocityCurve curve;
        curve.keySource = {0, 0, 0, 0, 40, 80, 127};   // segment A has no samples
        VelocityMap map;
        map.fill(5);
        curve.computeMap(map);
        QVERIFY(isValidMap(map));

        curve.keySource = {0, 20, 40, 60, 60, 60, 60};   // segment B has no samples
        map.fill(99);
        curve.computeMap(map);
        QVERIFY(isValidMap(map));
        QCOMPARE(map[127], 99);   // nothing reached it: it kept its old value
    }

    void randomCurvesGiveValidMaps()
    {
        auto *random = QRandomGenerator::global();
        for (int round = 0; round < 2000; ++round) {
            VelocityCurve curve;
            curve.keySource[0] = 0;
            curve.keySource[6] = 127;
            for (int k = 1; k < 6; ++k)
                curve.keySource[static_cast<std::size_t>(k)] = random->bounded(128);
            std::sort(curve.keySource.begin(), curve.keySource.end());
            for (auto &value : curve.keyNew)
                value = random->bounded(128);
            QVERIFY2(isValidMap(computed(curve)), qPrintable(QString::number(round)));
        }
    }

    // Key points a file could hold but the editor never makes: decreasing, or beyond 0..127.
    // Nothing may be written outside the map.
    void hostilePointsStayInsideTheMap()
    {
        auto *random = QRandomGenerator::global();
        for (int round = 0; round < 2000; ++round) {
            VelocityCurve curve;
            for (auto &value : curve.keySource)
                value = random->bounded(-300, 300);
            for (auto &value : curve.keyNew)
                value = random->bounded(-300, 300);
            VelocityMap map{};
            curve.computeMap(map);   // must neither crash nor trip the sanitizers
            QVERIFY(map[0] >= 1);
        }
    }

    void curveFileRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("soft.crv"));
        CurveFile::Contents contents;
        contents.curve.keyNew = {0, 10, 30, 50, 70, 90, 120};
        contents.curve.computeMap(contents.map);
        QVERIFY(CurveFile::save(path, contents).ok);
        QCOMPARE(QFileInfo(path).size(), CurveFile::fileSize);

        const CurveFile::Result loaded = CurveFile::load(path);
        QVERIFY2(loaded.ok, qPrintable(loaded.message));
        QCOMPARE(loaded.contents.curve, contents.curve);
        QCOMPARE(loaded.contents.map, contents.map);
    }

    void curveFileLayoutIsLittleEndian()
    {
        CurveFile::Contents contents;
        contents.map.fill(0);
        contents.map[0] = 1;
        contents.map[127] = 0x7F;
        const QByteArray bytes = CurveFile::serialize(contents);
        QCOMPARE(bytes.size(), 568);
        QCOMPARE(bytes.mid(0, 4), QByteArray("\x01\x00\x00\x00", 4));
        QCOMPARE(bytes.mid(508, 4), QByteArray("\x7F\x00\x00\x00", 4));
        QCOMPARE(bytes.mid(512 + 24, 4), QByteArray("\x7F\x00\x00\x00", 4));   // keySource[6]
        QCOMPARE(bytes.mid(540 + 4, 4), QByteArray("\x32\x00\x00\x00", 4));   // keyNew[1] = 50
    }

    void damagedCurveFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        CurveFile::Contents good;
        good.curve.computeMap(good.map);
        const QByteArray valid = CurveFile::serialize(good);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short") << valid.left(540);
        QTest::newRow("long") << valid + QByteArray(4, '\0');
        QByteArray badSource = valid;
        badSource[512 + 8] = '\x90';   // keySource[2] = 144
        QTest::newRow("source beyond 127") << badSource;
        QByteArray negative = valid;
        negative[540 + 7] = '\xFF';   // keyNew[1] negative
        QTest::newRow("negative value") << negative;
        QByteArray badMap = valid;
        badMap[40] = '\xC8';
        QTest::newRow("map entry beyond 127") << badMap;
    }
    void damagedCurveFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        const CurveFile::Result result = CurveFile::parse(bytes, QStringLiteral("x.crv"));
        QVERIFY(!result.ok);
        QVERIFY(result.message.contains(QStringLiteral("x.crv")));
    }

    void failedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kept.crv"));
        CurveFile::Contents contents;
        contents.curve.computeMap(contents.map);
        QVERIFY(CurveFile::save(path, contents).ok);
        const CurveFile::Result missingFolder = CurveFile::save(dir.filePath(QStringLiteral("nope/x.crv")), contents);
        QVERIFY(!missingFolder.ok);
        QVERIFY(!missingFolder.message.isEmpty());
        QVERIFY(!CurveFile::load(dir.filePath(QStringLiteral("absent.crv"))).ok);
        QVERIFY(CurveFile::load(path).ok);
    }

    void keptSlots()
    {
        CurveSlotSet kept;
        VelocityCurve curve;
        curve.keyNew[3] = 90;
        kept.keep(1, curve);
        QVERIFY(kept.at(1).holdsCurve());
        kept.toggleShown(1);
        QVERIFY(kept.at(1).shown);
        kept.requestRestore(0);
        kept.requestRestore(1);
        QVERIFY(!kept.at(0).restoreRequested);
        VelocityCurve current;
        QVERIFY(kept.takeRestore(current));
        QCOMPARE(current.keyNew[3], 90);
        QVERIFY(!kept.takeRestore(current));
        kept.remove(1);
        QVERIFY(!kept.at(1).holdsCurve());
        kept.keep(1, curve);   // a deleted slot stays deleted until the editor resets
        QVERIFY(!kept.at(1).holdsCurve());
        kept.clearAll();
        kept.keep(1, curve);
        QVERIFY(kept.at(1).holdsCurve());
    }
};

QTEST_APPLESS_MAIN(TestVelocityCurve)
#include "tst_VelocityCurve.moc"
