#include "core/base/FolderListing.h"
#include "core/base/SafeFile.h"
#include "core/song/MarkerScan.h"
#include "core/transfer/SendPreparation.h"
#include "support/FreshLibrary.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <thread>

#include <unistd.h>

using TestFiles::writeFile;

namespace {

QByteArray smfHeader(int format)
{
    QByteArray header("MThd\x00\x00\x00\x06", 8);
    header.append(char(format >> 8)).append(char(format & 0xFF));
    header.append("\x00\x01\x00\x60", 4);
    return header + QByteArray("MTrk\x00\x00\x00\x04\x00\xFF\x2F\x00", 12);
}

} // namespace

class TestLibraryFiles : public QObject
{
    Q_OBJECT

private:
    FreshLibrary data;

private slots:
    // Every test runs in a fresh library.
    void init() { QVERIFY(data.renew()); }

    void listingIsNewestFirstAndIgnoresCase()
    {
        writeFile(data.path(QStringLiteral("syx/first.syx")), "1");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        writeFile(data.path(QStringLiteral("syx/SECOND.SYX")), "2");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        writeFile(data.path(QStringLiteral("syx/third.syx")), "3");
        writeFile(data.path(QStringLiteral("syx/notes.txt")), "x");
        QDir().mkpath(data.path(QStringLiteral("syx/folder.syx")));
        // Changing an old file does not make it new.
        writeFile(data.path(QStringLiteral("syx/first.syx")), "changed");

        const FolderListing::Result result = FolderListing::list(data.path(QStringLiteral("syx/")), QStringLiteral("syx"));
        QCOMPARE(result.names, QStringList({"third.syx", "SECOND.SYX", "first.syx"}));
        QVERIFY(!result.tooMany);
        QVERIFY(FolderListing::list(data.path(QStringLiteral("missing/")), QStringLiteral("syx")).names.isEmpty());
    }

    void listingLimit()
    {
        for (int i = 0; i < 299; ++i)
            writeFile(data.path(QStringLiteral("mid/%1.mid").arg(i)), "x");
        FolderListing::Result result = FolderListing::list(data.path(QStringLiteral("mid/")), QStringLiteral("mid"));
        QCOMPARE(result.names.size(), 299);
        writeFile(data.path(QStringLiteral("mid/one-more.MID")), "x");
        result = FolderListing::list(data.path(QStringLiteral("mid/")), QStringLiteral("mid"));
        QVERIFY(result.tooMany);
        QVERIFY(result.names.isEmpty());
    }

    void markers()
    {
        QByteArray song = smfHeader(0);
        song += QByteArray("\x00\xFF\x06\x05Intro", 9);
        song += QByteArray("\xFF\xFF\x06\x05Verse", 9);   // FF FF is passed over as a pair
        song += QByteArray("\x00\xFF\x06\x00", 4);          // an empty marker
        song += QByteArray("\x00\xFF\x06\x03" "End", 7);
        QCOMPARE(MarkerScan::lines(song), QStringList({"The markers:", "   ", "Intro", "", "End"}));

        QByteArray longText(200, 'a');
        QByteArray withLong = QByteArray("\xFF\x06\x81\x48", 4) + longText + QByteArray("\xFF\x06\x01Z", 4);
        QCOMPARE(MarkerScan::markers(withLong), QStringList({QString(longText), "Z"}));

        // Texts cut by the end of the file give what is there and nothing beyond.
        QCOMPARE(MarkerScan::markers(QByteArray("\xFF\x06\x09" "abc", 6)), QStringList({"abc"}));
        QCOMPARE(MarkerScan::markers(QByteArray("\xFF\x06", 2)), QStringList({""}));
        QCOMPARE(MarkerScan::markers(QByteArray("\xFF", 1)), QStringList());
    }

    void sendChecks()
    {
        writeFile(data.path(QStringLiteral("mid/zero.mid")), smfHeader(0));
        writeFile(data.path(QStringLiteral("mid/one.mid")), smfHeader(1));
        writeFile(data.path(QStringLiteral("mid/odd.mid")), smfHeader(0x0100));
        writeFile(data.path(QStringLiteral("mid/short.mid")), QByteArray("MThd\0\0\0\6\0", 9));
        writeFile(data.path(QStringLiteral("mid/text.mid")), QByteArray("hello, this is not a song"));
        writeFile(data.path(QStringLiteral("syx/SONG.SYX")), QByteArray(162, '\0'));
        writeFile(data.path(QStringLiteral("bin/empty.bin")), QByteArray());
        writeFile(data.path(QStringLiteral("bin/fw.bin")), QByteArray(3000, '\x7A'));
        writeFile(data.path(QStringLiteral("csf/broken.csf")), QByteArray("no song here"));

        const auto prepare = [this](FileKind kind, const QString &entry) {
            return SendPreparation::prepare(data.location(), kind, entry);
        };
        QVERIFY(prepare(FileKind::Song, QStringLiteral("zero.mid")).ok);
        QVERIFY(prepare(FileKind::Song, QStringLiteral("odd.mid")).ok);   // only the low byte counts
        const auto formatOne = prepare(FileKind::Song, QStringLiteral("one.mid"));
        QVERIFY(formatOne.problem.text.startsWith(QStringLiteral("   Sorry, this program only process MIDI file format 0!")));
        QCOMPARE(formatOne.problem.caption, QStringLiteral("Novrel software V1.0 "));
        QCOMPARE(prepare(FileKind::Song, QStringLiteral("short.mid")).problem.text,
                 QStringLiteral("ERROR, The input file is not a MIDI file!"));
        QCOMPARE(prepare(FileKind::Song, QStringLiteral("text.mid")).problem.text,
                 QStringLiteral("ERROR, The input file is not a MIDI file!"));

        const auto upper = prepare(FileKind::Template, QStringLiteral("SONG.SYX"));
        QCOMPARE(upper.problem.text, QStringLiteral("The File Must be *.syx!"));
        QCOMPARE(upper.problem.caption, QStringLiteral("Zorvik Updata"));

        const auto none = prepare(FileKind::Firmware, QString());
        QCOMPARE(none.problem.text, QStringLiteral("Please check the updata file!"));
        QCOMPARE(none.problem.caption, QStringLiteral("Zorvik Halden"));
        QVERIFY(prepare(FileKind::Song, QString()).problem.caption.isEmpty());

        const auto missing = prepare(FileKind::Firmware, QStringLiteral("gone.bin"));
        QCOMPARE(missing.problem.text,
                 QStringLiteral("The file can't be opened,please Select Right Download File, try again!"));
        QCOMPARE(missing.problem.buttons, PromptService::Buttons::YesNo);

        QVERIFY(!prepare(FileKind::Firmware, QStringLiteral("empty.bin")).ok);   // would give no block
        const auto firmware = prepare(FileKind::Firmware, QStringLiteral("fw.bin"));
        QVERIFY(firmware.ok);
        QCOMPARE(firmware.image.size(), 3000);

        QCOMPARE(prepare(FileKind::Csf, QStringLiteral("broken.csf")).problem.text,
                 QStringLiteral("Please check the updata file,it's err!"));
        QCOMPARE(prepare(FileKind::Csf, QStringLiteral("absent.csf")).problem.text,
                 QStringLiteral("Please check the updata file,it's err!"));
    }

    void safeWriteKeepsTheOldFile()
    {
        const QString path = data.path(QStringLiteral("syx/keep.syx"));
        QVERIFY(SafeFile::write(path, QByteArray("old")).isEmpty());
        QVERIFY(!SafeFile::write(data.path(QStringLiteral("nowhere/x.syx")), QByteArray("new")).isEmpty());
        QFile::setPermissions(data.path(QStringLiteral("syx")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString error = SafeFile::write(path, QByteArray("new"));
        QFile::setPermissions(data.path(QStringLiteral("syx")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (getuid() != 0)   // root writes anywhere
            QVERIFY(!error.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), error.isEmpty() ? QByteArray("new") : QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestLibraryFiles)
#include "tst_LibraryFiles.moc"
