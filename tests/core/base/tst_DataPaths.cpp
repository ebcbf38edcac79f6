#include "core/base/DataPaths.h"
#include "core/base/LibraryLocation.h"

#include <QTest>

class TestDataPaths : public QObject
{
    Q_OBJECT

private slots:
    // Relative to the current directory for the current-directory rule; in the folder given else.
    void pathsAreBuiltInTheLibraryGiven()
    {
        const LibraryLocation here;
        QCOMPARE(here.folder(DataPaths::Folder::Root), QStringLiteral("zorvik/"));
        QCOMPARE(here.file(DataPaths::Folder::Mid, QStringLiteral("a.mid")), QStringLiteral("zorvik/mid/a.mid"));
        QCOMPARE(here.folder(DataPaths::Folder::Csf), QStringLiteral("zorvik/csf/"));
        QCOMPARE(here.folder(DataPaths::Folder::Curve), QStringLiteral("zorvik/Curve/"));
        QCOMPARE(here.file(DataPaths::Folder::Root, QStringLiteral("help.html")), QStringLiteral("zorvik/help.html"));

        const LibraryLocation named(QStringLiteral("/home/u/songs"), LibraryLocation::Source::CommandLine);
        QCOMPARE(named.folder(DataPaths::Folder::Syx), QStringLiteral("/home/u/songs/syx/"));
        QCOMPARE(named.file(DataPaths::Folder::Bin, QStringLiteral("fw.bin")), QStringLiteral("/home/u/songs/bin/fw.bin"));
        QCOMPARE(named.folder(DataPaths::Folder::Root), named.root());
    }

    void unsafeNamesAreRecognised_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << QStringLiteral("My Song 2") << true;
        QTest::newRow("unicode") << QStringLiteral("Lied für dich") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("slash") << QStringLiteral("a/b") << false;
        QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
        QTest::newRow("parent") << QStringLiteral("..") << false;
        QTest::newRow("parent in a path") << QStringLiteral("a/../b") << false;
        QTest::newRow("dots inside") << QStringLiteral("a..b.mid") << true;
        QTest::newRow("dots at the end") << QStringLiteral("take 2..syx") << true;
        QTest::newRow("hidden") << QStringLiteral(".abc") << false;
        QTest::newRow("control") << QStringLiteral("a\nb") << false;
        QTest::newRow("colon") << QStringLiteral("live:set 1.syx") << true;
        QTest::newRow("colon first") << QStringLiteral(":x.mid") << true;
    }
    void unsafeNamesAreRecognised()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(DataPaths::isSafeFileName(name), safe);
    }

    void longNamesAreShortenedInTheMiddle()
    {
        QCOMPARE(DataPaths::shownName(QStringLiteral("short.syx")), QStringLiteral("short.syx"));
        const QString exact(DataPaths::shownNameLength, QLatin1Char('a'));
        QCOMPARE(DataPaths::shownName(exact), exact);
        const QString shown = DataPaths::shownName(QStringLiteral("begin") + QString(300, QLatin1Char('x')) + QStringLiteral("end.syx"));
        QCOMPARE(shown.size(), DataPaths::shownNameLength);
        QVERIFY(shown.startsWith(QStringLiteral("beginxxx")));
        QVERIFY(shown.endsWith(QStringLiteral("xxxend.syx")));
        QCOMPARE(shown.count(QChar(0x2026)), 1);
    }
};

QTEST_APPLESS_MAIN(TestDataPaths)
#include "tst_DataPaths.moc"
