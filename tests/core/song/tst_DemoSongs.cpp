#include "core/song/DemoSongs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The songs the demo library is made from: what the program carries is what the generator makes.
class TestDemoSongs : public QObject
{
    Q_OBJECT

private slots:
    void theDemoLibraryHoldsTheGeneratedSongs()
    {
        const QDir demo(QStringLiteral(ZORVIK_TEST_DATA "/../../demo/zorvik"));
        const QList<DemoSongs::File> files = DemoSongs::files();
        QCOMPARE(files.size(), 5);
        for (const DemoSongs::File &generated : files) {
            QFile kept(demo.filePath(generated.path));
            QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(generated.path));
            QVERIFY2(kept.readAll() == generated.bytes, qPrintable(generated.path + " differs from the generator's"));
        }
    }

    void writesEveryFileOrSaysWhichNot()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("zorvik"));
        QCOMPARE(DemoSongs::write(root), QStringList());
        for (const DemoSongs::File &generated : DemoSongs::files()) {
            QFile written(QDir(root).filePath(generated.path));
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll(), generated.bytes);
        }

        // A file where a song goes: that one is named, the others are still written.
        const QString blocked = dir.filePath(QStringLiteral("blocked"));
        QVERIFY(QDir().mkpath(blocked + QStringLiteral("/mid/pad-groove.mid")));
        QCOMPARE(DemoSongs::write(blocked),
                 QStringList{QStringLiteral("cannot write %1/mid/pad-groove.mid").arg(blocked)});
        QVERIFY(QFile::exists(blocked + QStringLiteral("/csf/waltz-style.csf")));

        // A root whose folders cannot be made.
        const QString plainFile = dir.filePath(QStringLiteral("file"));
        QFile file(plainFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(DemoSongs::write(plainFile), QStringList{QStringLiteral("cannot create the folders under %1").arg(plainFile)});
    }
};

QTEST_APPLESS_MAIN(TestDemoSongs)
#include "tst_DemoSongs.moc"
