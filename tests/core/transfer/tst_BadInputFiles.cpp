// Bad files of every kind the library handles (.syx, .mid, .csf, .bin, .crv): missing, unreadable,
// empty, huge, truncated and of the wrong kind, with names that try to leave the data folder, and
// saves that fail half way. Each is refused with a message; nothing is lost.
#include "core/base/DataPaths.h"
#include "core/base/FolderListing.h"
#include "core/base/SafeFile.h"
#include "core/curve/CurveFile.h"
#include "core/panel/PanelSettings.h"
#include "core/song/CsfSongImage.h"
#include "core/song/StandardMidiFile.h"
#include "core/transfer/SendPreparation.h"
#include "core/transfer/TransferSession.h"
#include "support/FreshLibrary.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using TestFiles::writeFile;
using TestFiles::readFile;
using TestFiles::goldenTemplate;

namespace {

constexpr int curveKind = -1;   // .crv files are not sent through the library's send checks

QByteArray smallSong()
{
    QByteArray song("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60", 14);
    const QByteArray track("\x00\x90\x3C\x64\x60\x80\x3C\x00\x00\xFF\x2F\x00", 12);
    song += QByteArray("MTrk\x00\x00\x00", 7) + char(track.size()) + track;
    return song;
}

QByteArray validCurveFile()
{
    CurveFile::Contents contents;
    for (int i = 0; i < 128; ++i)
        contents.map[std::size_t(i)] = i;
    return CurveFile::serialize(contents);
}

DataPaths::Folder folderOf(int kind)
{
    return kind == curveKind ? DataPaths::Folder::Curve : FileKinds::folder(FileKind(kind));
}

// What the user is told when the file is offered to the instrument (or, for a curve, opened in
// the curve editor); empty when it is accepted.
QString outcome(const LibraryLocation &library, int kind, const QString &name)
{
    if (kind == curveKind) {
        const CurveFile::Result result = CurveFile::load(library.file(DataPaths::Folder::Curve, name));
        return result.ok ? QString() : result.message;
    }
    const SendPreparation::Result result = SendPreparation::prepare(library, FileKind(kind), name);
    return result.ok ? QString() : result.problem.text;
}

const QString cannotOpen = QStringLiteral("The file can't be opened,please Select Right Download File, try again!");
const QString csfError = QStringLiteral("Please check the updata file,it's err!");
const QString notMidi = QStringLiteral("ERROR, The input file is not a MIDI file!");
const QString notOneTemplate = QStringLiteral("This file is not a template: it does not start like one.");

// Makes path a pipe, a link to a device, or a link to an existing file; see the rows below.
bool makeNode(const QString &node, const QString &path)
{
    if (node == QLatin1String("pipe"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (node == QLatin1String("endless device"))
        return QFile::link(QStringLiteral("/dev/zero"), path);
    if (node == QLatin1String("empty device"))
        return QFile::link(QStringLiteral("/dev/null"), path);
    if (node == QLatin1String("link to nothing"))
        return QFile::link(QStringLiteral("nowhere"), path);
    return false;
}

bool isPipe(const QString &path)
{
    struct stat status{};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

void addKindRows(const std::function<void(const char *, int, const char *)> &row)
{
    row("syx", int(FileKind::Template), "syx");
    row("mid", int(FileKind::Song), "mid");
    row("csf", int(FileKind::Csf), "csf");
    row("bin", int(FileKind::Firmware), "bin");
    row("crv", curveKind, "crv");
}

} // namespace

class TestBadInputFiles : public QObject
{
    Q_OBJECT

private:
    FreshLibrary data;

    QString outcome(int kind, const QString &name) const { return ::outcome(data.location(), kind, name); }

private slots:
    // Every test starts with an empty library.
    void init() { QVERIFY(data.renew()); }

    // Started where there is no data folder: empty lists, every file "cannot be opened", every
    // save refused with the folder named, and no folder made behind the user's back.
    void missingDataFolder()
    {
        QVERIFY(QDir(data.location().root()).removeRecursively());
        const QList<FileKind> kinds{FileKind::Song, FileKind::Template, FileKind::Csf, FileKind::Firmware};
        for (const FileKind kind : kinds) {
            const FolderListing::Result listing = FolderListing::list(data.folder(FileKinds::folder(kind)),
                                                                      FileKinds::extension(kind));
            QVERIFY(listing.names.isEmpty());
            QVERIFY(!listing.tooMany);
        }
        QCOMPARE(outcome(int(FileKind::Firmware), QStringLiteral("a.bin")), cannotOpen);
        QCOMPARE(outcome(int(FileKind::Song), QStringLiteral("a.mid")), cannotOpen);
        QCOMPARE(outcome(int(FileKind::Template), QStringLiteral("a.syx")), cannotOpen);
        QCOMPARE(outcome(int(FileKind::Csf), QStringLiteral("a.csf")), csfError);
        QVERIFY(outcome(curveKind, QStringLiteral("a.crv")).startsWith(QStringLiteral("Cannot open the curve file \"a.crv\"")));

        const QString error = SafeFile::write(data.file(DataPaths::Folder::Syx, QStringLiteral("a.syx")), "x");
        QVERIFY(error.contains(QStringLiteral("does not exist")));
        CurveFile::Contents contents;
        QVERIFY(!CurveFile::save(data.file(DataPaths::Folder::Curve, QStringLiteral("a.crv")), contents).ok);
        QVERIFY(!QDir(data.location().root()).exists());
    }

    // A folder where a file should be cannot be read, even by root; a file without read
    // permission is tried too when the test does not run as root.
    void unreadableFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        addKindRows([](const char *tag, int kind, const char *ext) { QTest::newRow(tag) << kind << QString::fromLatin1(ext); });
    }
    void unreadableFiles()
    {
        QFETCH(int, kind);
        QFETCH(QString, extension);
        const QString name = QStringLiteral("folder.") + extension;
        QVERIFY(QDir().mkpath(data.file(folderOf(kind), name)));
        const QString message = outcome(kind, name);
        QVERIFY(!message.isEmpty());
        if (kind == int(FileKind::Csf))
            QCOMPARE(message, csfError);
        else if (kind != curveKind)
            QCOMPARE(message, cannotOpen);

        if (getuid() != 0) {
            const QString locked = QStringLiteral("locked.") + extension;
            writeFile(data.file(folderOf(kind), locked), QByteArray(600, '\x01'));
            QFile::setPermissions(data.file(folderOf(kind), locked), QFileDevice::Permissions());
            QVERIFY(!outcome(kind, locked).isEmpty());
        }
    }

    void emptyFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("message");
        QTest::newRow("syx") << int(FileKind::Template) << "syx"
                             << "This file is not a template: it holds only 0 bytes.";
        QTest::newRow("mid") << int(FileKind::Song) << "mid" << notMidi;
        QTest::newRow("csf") << int(FileKind::Csf) << "csf" << csfError;
        QTest::newRow("bin") << int(FileKind::Firmware) << "bin" << "The file is empty: there is nothing to send.";
        QTest::newRow("crv") << curveKind << "crv"
                             << "\"empty.crv\" is not a velocity curve file: it holds 0 bytes, a curve file holds 568.";
    }
    void emptyFiles()
    {
        QFETCH(int, kind);
        QFETCH(QString, extension);
        QFETCH(QString, message);
        const QString name = QStringLiteral("empty.") + extension;
        writeFile(data.file(folderOf(kind), name), {});
        QCOMPARE(outcome(kind, name), message);
    }

    // 100 MB, sparse: refused from its size at once, never read whole.
    void hugeFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("message");
        const auto tooLarge = [](FileKind kind) {
            const qint64 limit = kind == FileKind::Template ? SendPreparation::maxTemplateFileSize
                                                            : TransferSession::maxImageSize(kind);
            return QStringLiteral("\"huge.%1\" is too large to send: the instrument takes at most %2 bytes.")
                .arg(FileKinds::extension(kind))
                .arg(limit);
        };
        QTest::newRow("syx") << int(FileKind::Template) << "syx" << tooLarge(FileKind::Template);
        QTest::newRow("mid") << int(FileKind::Song) << "mid" << tooLarge(FileKind::Song);
        QTest::newRow("csf") << int(FileKind::Csf) << "csf" << csfError;
        QTest::newRow("bin") << int(FileKind::Firmware) << "bin" << tooLarge(FileKind::Firmware);
        QTest::newRow("crv") << curveKind << "crv"
                             << "\"huge.crv\" is not a velocity curve file: it holds 104857600 bytes, a curve file holds 568.";
    }
    void hugeFiles()
    {
        QFETCH(int, kind);
        QFETCH(QString, extension);
        QFETCH(QString, message);
        const QString name = QStringLiteral("huge.") + extension;
        const QString path = data.file(folderOf(kind), name);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(100 * 1024 * 1024));
        }
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(outcome(kind, name), message);
        QVERIFY2(clock.elapsed() < 2000, "a huge file must be refused without reading it");
        QVERIFY(QFile::remove(path));
    }

    void truncatedFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray syx = goldenTemplate();
        const QByteArray song = smallSong();
        QTest::newRow("syx header only") << int(FileKind::Template) << "syx" << syx.left(13)
                                         << "This file is not a template: it holds only 13 bytes.";
        QTest::newRow("syx without its end") << int(FileKind::Template) << "syx" << syx.left(100)
                                             << "This file is not a template: it was cut off after 100 bytes.";
        QTest::newRow("syx cut, its end kept") << int(FileKind::Template) << "syx" << (syx.left(19) + char(0xF7))
                                               << "This file is not a template: it holds 20 bytes; a template holds 162.";
        QTest::newRow("mid header cut") << int(FileKind::Song) << "mid" << song.left(10) << notMidi;
        QTest::newRow("csf track cut") << int(FileKind::Csf) << "csf" << (QByteArray(16, '\0') + song.left(song.size() - 3))
                                       << csfError;
        QTest::newRow("csf header cut") << int(FileKind::Csf) << "csf" << QByteArray("xxMThd\0\0", 8) << csfError;
        QTest::newRow("crv") << curveKind << "crv" << validCurveFile().left(567)
                             << "\"cut.crv\" is not a velocity curve file: it holds 567 bytes, a curve file holds 568.";
    }
    void truncatedFiles()
    {
        QFETCH(int, kind);
        QFETCH(QString, extension);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString name = QStringLiteral("cut.") + extension;
        writeFile(data.file(folderOf(kind), name), bytes);
        QCOMPARE(outcome(kind, name), message);
    }

    // Files with the right extension and the wrong contents.
    void wrongKindFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray syx = goldenTemplate();
        QByteArray firmwareAnnouncement = syx.left(13) + char(0xF7);
        firmwareAnnouncement[7] = 0x04;
        QTest::newRow("song as syx") << int(FileKind::Template) << "syx" << smallSong() << notOneTemplate;
        QTest::newRow("announcement as syx") << int(FileKind::Template) << "syx" << firmwareAnnouncement << notOneTemplate;
        QTest::newRow("curve as syx") << int(FileKind::Template) << "syx" << validCurveFile() << notOneTemplate;
        QByteArray notData = syx;
        notData[50] = char(0x80);
        QTest::newRow("template with a status byte inside") << int(FileKind::Template) << "syx" << notData
                                                            << "This file is not a template: its byte 50 (80) is not a data byte.";
        QTest::newRow("template as mid") << int(FileKind::Song) << "mid" << syx << notMidi;
        QTest::newRow("template as csf") << int(FileKind::Csf) << "csf" << syx << csfError;
        QTest::newRow("template as crv") << curveKind << "crv" << syx
                                         << "\"wrong.crv\" is not a velocity curve file: it holds 162 bytes, a curve file holds 568.";
        QTest::newRow("noise as crv") << curveKind << "crv" << QByteArray(568, '\xEE')
                                      << "\"wrong.crv\" is damaged: it holds velocities outside 0 to 127.";
    }
    void wrongKindFiles()
    {
        QFETCH(int, kind);
        QFETCH(QString, extension);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString name = QStringLiteral("wrong.") + extension;
        writeFile(data.file(folderOf(kind), name), bytes);
        QCOMPARE(outcome(kind, name), message);
    }

    // The frame check that keeps a wrong-kind .syx off the panel and off the instrument.
    void onlyTemplatesLookLikeTemplates()
    {
        const QByteArray syx = goldenTemplate();
        QVERIFY(PanelSettings::startsLikeTemplate(syx));
        QVERIFY(TransferSession::refusal(FileKind::Template, syx).isEmpty());
        QVERIFY(PanelSettings::startsLikeTemplate(syx.left(100)));   // a long dump cut to one buffer loads
        QVERIFY(!PanelSettings::startsLikeTemplate(syx.left(13)));
        QVERIFY(!PanelSettings::startsLikeTemplate(smallSong()));
        QByteArray curveMessage = syx;
        curveMessage[7] = 0x05;
        QVERIFY(!PanelSettings::startsLikeTemplate(curveMessage));
    }

    // A name that leads to a pipe or a device is refused as a file that cannot be opened, at
    // once: nothing waits for a writer or reads without end. A link to a file is followed.
    void devicesAndPipesAreNotRead_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("node");
        addKindRows([](const char *tag, int kind, const char *ext) {
            for (const char *node : {"pipe", "endless device", "empty device"})
                QTest::addRow("%s %s", tag, node) << kind << QString::fromLatin1(ext) << QString::fromLatin1(node);
        });
    }
    void devicesAndPipesAreNotRead()
    {
        QFETCH(int, kind);
        QFETCH(QString, extension);
        QFETCH(QString, node);
        const QString name = QStringLiteral("node.") + extension;
        const QString path = data.file(folderOf(kind), name);
        QVERIFY(makeNode(node, path));
        const QString message = outcome(kind, name);
        if (kind == curveKind)
            QVERIFY2(message.startsWith(QStringLiteral("Cannot open the curve file \"node.crv\"")), qPrintable(message));
        else
            QCOMPARE(message, kind == int(FileKind::Csf) ? csfError : cannotOpen);
        // The player's readers of the same files.
        if (kind == int(FileKind::Song))
            QCOMPARE(StandardMidiFile().load(path).message, QStringLiteral("The file cannot be opened."));
        if (kind == int(FileKind::Csf))
            QCOMPARE(CsfSongImage::load(path).message, QStringLiteral("The file cannot be opened."));
    }

    void linksToFilesAreFollowed()
    {
        QVERIFY(QDir().mkpath(data.outside(QStringLiteral("elsewhere"))));
        writeFile(data.outside(QStringLiteral("elsewhere/song.mid")), smallSong());
        QVERIFY(QFile::link(data.outside(QStringLiteral("elsewhere/song.mid")),
                            data.path(QStringLiteral("mid/linked.mid"))));
        const SendPreparation::Result result =
            SendPreparation::prepare(data.location(), FileKind::Song, QStringLiteral("linked.mid"));
        QVERIFY(result.ok);
        QCOMPARE(result.image, smallSong());
    }

    // A save never replaces what is not a regular file: a pipe, a device, a folder or a link to
    // nothing stays as it is. A link to a regular file is saved through to that file.
    void savesKeepWhatIsNoRegularFile()
    {
        const QByteArray syx = goldenTemplate();
        for (const char *node : {"pipe", "empty device", "link to nothing"}) {
            const QString path = data.file(DataPaths::Folder::Syx, QString::fromLatin1(node) + QStringLiteral(".syx"));
            QVERIFY(makeNode(QString::fromLatin1(node), path));
            QCOMPARE(SafeFile::write(path, syx),
                     QStringLiteral("Cannot save \"%1.syx\": it exists and is not a regular file, so it is left as it is.")
                         .arg(QString::fromLatin1(node)));
            QVERIFY(node == QByteArrayView("pipe") ? isPipe(path) : QFileInfo(path).isSymLink());
        }
        QVERIFY(QDir().mkpath(data.path(QStringLiteral("syx/folder.syx"))));
        QVERIFY(!SafeFile::write(data.path(QStringLiteral("syx/folder.syx")), syx).isEmpty());
        QVERIFY(QFileInfo(data.path(QStringLiteral("syx/folder.syx"))).isDir());

        const QString pipeCurve = data.file(DataPaths::Folder::Curve, QStringLiteral("pipe.crv"));
        QVERIFY(makeNode(QStringLiteral("pipe"), pipeCurve));
        const CurveFile::Result curve = CurveFile::save(pipeCurve, CurveFile::Contents{});
        QVERIFY(!curve.ok);
        QCOMPARE(curve.message, QStringLiteral("Cannot save the curve file \"pipe.crv\": it exists and is not a regular "
                                               "file, so it is left as it is."));
        QVERIFY(isPipe(pipeCurve));

        QVERIFY(QDir().mkpath(data.outside(QStringLiteral("elsewhere"))));
        writeFile(data.outside(QStringLiteral("elsewhere/real.syx")), "old");
        const QString link = data.file(DataPaths::Folder::Syx, QStringLiteral("link.syx"));
        QVERIFY(QFile::link(data.outside(QStringLiteral("elsewhere/real.syx")), link));
        QCOMPARE(SafeFile::write(link, syx), QString());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readFile(data.outside(QStringLiteral("elsewhere/real.syx"))), syx);
    }

    // Two dots inside a name leave no folder: such a file is sent like any other.
    void twoDotsInsideANameAreFine()
    {
        writeFile(data.path(QStringLiteral("mid/a..b.mid")), smallSong());
        QVERIFY(SendPreparation::prepare(data.location(), FileKind::Song, QStringLiteral("a..b.mid")).ok);
    }

    // A name from outside the list that tries to leave its folder is not followed.
    void namesWithPathSeparators_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("up") << "../outside.bin";
        QTest::newRow("up twice") << "../../outside.bin";
        QTest::newRow("into syx") << "../syx/other.bin";
        QTest::newRow("backslash") << "..\\outside.bin";
        QTest::newRow("absolute") << "/tmp/outside.bin";
    }
    void namesWithPathSeparators()
    {
        QFETCH(QString, name);
        writeFile(data.path(QStringLiteral("outside.bin")), QByteArray(100, '\x01'));
        writeFile(data.outside(QStringLiteral("outside.bin")), QByteArray(100, '\x01'));
        writeFile(data.path(QStringLiteral("syx/other.bin")), QByteArray(100, '\x01'));
        const SendPreparation::Result result = SendPreparation::prepare(data.location(), FileKind::Firmware, name);
        QVERIFY(!result.ok);
        QCOMPARE(result.problem.text, cannotOpen);
        QVERIFY(result.image.isEmpty());
    }

    // The disk fills up during a save: the write stops half way (a file size limit makes it do
    // so without a full disk), the old file is still whole and no partial file is left behind.
    void diskFullDuringSaveKeepsTheOldFile()
    {
        const QString syxPath = data.file(DataPaths::Folder::Syx, QStringLiteral("keep.syx"));
        const QString crvPath = data.file(DataPaths::Folder::Curve, QStringLiteral("keep.crv"));
        const QByteArray oldTemplate = goldenTemplate();
        QVERIFY(SafeFile::write(syxPath, oldTemplate).isEmpty());
        CurveFile::Contents oldCurve;
        for (int i = 0; i < 128; ++i)
            oldCurve.map[std::size_t(i)] = 127 - i;
        QVERIFY(CurveFile::save(crvPath, oldCurve).ok);
        const QByteArray oldCurveBytes = readFile(crvPath);

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = saved;
        tiny.rlim_cur = 100;   // bytes: less than either file
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        const QString syxError = SafeFile::write(syxPath, QByteArray(4000, '\x22'));
        CurveFile::Contents newCurve;
        const CurveFile::Result curveResult = CurveFile::save(crvPath, newCurve);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY2(syxError == QStringLiteral("Cannot save \"keep.syx\": the file would exceed the file size limit."),
                 qPrintable(QStringLiteral("%1 / %2 bytes on disk").arg(syxError).arg(readFile(syxPath).size())));
        QVERIFY(!curveResult.ok);
        QVERIFY(curveResult.message.startsWith(QStringLiteral("Cannot save the curve file \"keep.crv\"")));
        QCOMPARE(readFile(syxPath), oldTemplate);
        QCOMPARE(readFile(crvPath), oldCurveBytes);
        QCOMPARE(QDir(data.path(QStringLiteral("syx"))).entryList(QDir::Files), QStringList{QStringLiteral("keep.syx")});
        QCOMPARE(QDir(data.path(QStringLiteral("Curve"))).entryList(QDir::Files), QStringList{QStringLiteral("keep.crv")});
    }

    // A save into a folder that is really a file (what a read-only folder is to a user who is
    // not root) is refused and touches nothing.
    void saveIntoAFileThatIsNoFolder()
    {
        writeFile(data.path(QStringLiteral("blocked")), "a file, not a folder");
        const QString blocked = QStringLiteral("Cannot save \"a.syx\": %1 is a file, not a folder.")
                                    .arg(data.path(QStringLiteral("blocked")));
        QCOMPARE(SafeFile::write(data.path(QStringLiteral("blocked/a.syx")), goldenTemplate()), blocked);
        QCOMPARE(SafeFile::check(data.path(QStringLiteral("blocked/deeper/a.syx"))), blocked);
        QCOMPARE(SafeFile::check(data.path(QStringLiteral("none/a.syx"))),
                 QStringLiteral("Cannot save \"a.syx\": the folder %1 does not exist.").arg(data.path(QStringLiteral("none"))));
        CurveFile::Contents contents;
        QVERIFY(!CurveFile::save(data.path(QStringLiteral("blocked/a.crv")), contents).ok);
        QCOMPARE(readFile(data.path(QStringLiteral("blocked"))), QByteArray("a file, not a folder"));
    }
};

QTEST_GUILESS_MAIN(TestBadInputFiles)
#include "tst_BadInputFiles.moc"
