#include "cli/ControlCommands.h"
#include "core/base/FolderListing.h"
#include "core/base/LibraryLocation.h"
#include "core/base/LibrarySetup.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "support/FakePorts.h"
#include "support/FreshLibrary.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using TestFiles::writeFile;
using TestFiles::readFile;

namespace {

// Every file and folder under root with its size, time and checksum: "nothing changed" is this
// staying the same.
QStringList snapshot(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << QStringLiteral("%1 %2 %3 %4")
                       .arg(info.filePath())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch())
                       .arg(info.isDir() ? QString() : QString::fromLatin1(QCryptographicHash::hash(
                                                 readFile(info.filePath()), QCryptographicHash::Sha1).toHex()));
    }
    entries.sort();
    return entries;
}

// Makes folder the current directory until the guard goes: only for the tests of the rules that
// read the current directory ("zorvik/" there, a file named on zorvikctl's command line).
[[nodiscard]] auto currentDirectory(const QString &folder)
{
    QDir().mkpath(folder);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    return qScopeGuard([previous] { QDir::setCurrent(previous); });
}

} // namespace

class TestLibraryLocation : public QObject
{
    Q_OBJECT

private slots:
    void commandLineThenCurrentDirectoryThenUserLibrary()
    {
        FreshLibrary home(FreshLibrary::Kind::UserLibrary);
        const auto back = currentDirectory(home.outside(QStringLiteral("work")));
        const QString user = LibraryLocation::userLibraryFolder();
        QCOMPARE(user, home.outside(QStringLiteral("data/zorvik-halden/zorvik/")));

        // No zorvik/ here: the user's library.
        LibraryLocation decided = LibraryLocation::decide({}, user);
        QCOMPARE(decided.source(), LibraryLocation::Source::UserLibrary);
        QCOMPARE(decided.root(), user);

        // A file named zorvik is no library.
        writeFile(QStringLiteral("zorvik"), "x");
        QCOMPARE(LibraryLocation::decide({}, user).source(), LibraryLocation::Source::UserLibrary);
        QVERIFY(QFile::remove(QStringLiteral("zorvik")));

        // zorvik/ under the current directory wins over the user's library, with today's paths.
        QVERIFY(QDir().mkdir(QStringLiteral("zorvik")));
        decided = LibraryLocation::decide({}, user);
        QCOMPARE(decided.source(), LibraryLocation::Source::CurrentDirectory);
        QCOMPARE(decided.root(), QStringLiteral("zorvik/"));
        QCOMPARE(decided.displayPath(), QDir::toNativeSeparators(QDir::current().filePath(QStringLiteral("zorvik"))));

        // --library wins over both, made absolute, even when it does not exist (yet).
        decided = LibraryLocation::decide(QStringLiteral("../mine"), user);
        QCOMPARE(decided.source(), LibraryLocation::Source::CommandLine);
        QCOMPARE(decided.root(), home.outside(QStringLiteral("mine/")));
        QVERIFY(!decided.exists());

        // Every path is built in the library decided.
        QCOMPARE(decided.file(DataPaths::Folder::Curve, QStringLiteral("a.crv")),
                 home.outside(QStringLiteral("mine/Curve/a.crv")));
        QCOMPARE(LibraryLocation().folder(DataPaths::Folder::Syx), QStringLiteral("zorvik/syx/"));

        // Without XDG_DATA_HOME the library is under the home folder.
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(LibraryLocation::userLibraryFolder(), home.outside(QStringLiteral(".local/share/zorvik-halden/zorvik/")));
        qputenv("XDG_DATA_HOME", "");   // set but empty is unset
        QCOMPARE(LibraryLocation::userLibraryFolder(), home.outside(QStringLiteral(".local/share/zorvik-halden/zorvik/")));
    }

    void firstStartSeedsTheUserLibraryAndTheSecondChangesNothing()
    {
        FreshLibrary home(FreshLibrary::Kind::UserLibrary);
        const LibraryLocation &library = home.location();
        LibrarySetup::Result first = LibrarySetup::prepare(library);
        QVERIFY2(first.problem.isEmpty(), qPrintable(first.problem));
        QVERIFY(first.created);

        // The five kind folders, and every file of the demo library as it is in the source tree.
        for (const char *kind : {"mid", "syx", "csf", "bin", "Curve"})
            QVERIFY(QFileInfo(library.root() + QLatin1String(kind)).isDir());
        int demoFiles = 0;
        QDirIterator demo(QStringLiteral(ZORVIK_DEMO_DIR), QDir::Files, QDirIterator::Subdirectories);
        while (demo.hasNext()) {
            const QString source = demo.next();
            const QString name = source.mid(int(qstrlen(ZORVIK_DEMO_DIR)) + 1);
            if (name.endsWith(QLatin1String(".gitkeep")))
                continue;
            ++demoFiles;
            QCOMPARE(readFile(library.root() + name), readFile(source));
        }
        QVERIFY(demoFiles >= 10);   // templates, songs, song files, curves and the help page
        QCOMPARE(first.filesCopied, demoFiles);
        QVERIFY(LibrarySetup::demoFiles().contains(QStringLiteral("help.html")));
        QVERIFY(LibrarySetup::demoFiles().contains(QStringLiteral("syx/Factory default.syx")));

        // The lists read it.
        QVERIFY(!FolderListing::list(library.folder(DataPaths::Folder::Mid), QStringLiteral("mid")).names.isEmpty());

        // The second start changes nothing, and a demo file the user deleted stays deleted.
        QVERIFY(QFile::remove(library.root() + QStringLiteral("mid/pad-groove.mid")));
        writeFile(library.root() + QStringLiteral("syx/mine.syx"), "mine");
        const QStringList before = snapshot(library.root());
        const LibrarySetup::Result second = LibrarySetup::prepare(library);
        QVERIFY(second.problem.isEmpty());
        QVERIFY(!second.created);
        QCOMPARE(second.filesCopied, 0);
        QCOMPARE(snapshot(library.root()), before);
    }

    void existingFilesAreNeverOverwritten()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("lib/"));
        writeFile(root + QStringLiteral("syx/Factory default.syx"), "my own template");
        writeFile(root + QStringLiteral("help.html"), "my notes");
        QVERIFY(QDir().mkpath(root + QStringLiteral("Curve")));
        QVERIFY(QFile::link(QStringLiteral("nowhere"), root + QStringLiteral("Curve/Linear.crv")));

        const LibrarySetup::Result result = LibrarySetup::copyDemo(root);
        QVERIFY2(result.problem.isEmpty(), qPrintable(result.problem));
        QCOMPARE(readFile(root + QStringLiteral("syx/Factory default.syx")), QByteArray("my own template"));
        QCOMPARE(readFile(root + QStringLiteral("help.html")), QByteArray("my notes"));
        // A dangling link is the user's too: nothing is written through it.
        QVERIFY(QFileInfo(root + QStringLiteral("Curve/Linear.crv")).isSymLink());
        QVERIFY(!QFileInfo::exists(root + QStringLiteral("Curve/nowhere")));
        QCOMPARE(result.filesCopied, LibrarySetup::demoFiles().size() - 3);
        QVERIFY(QFileInfo::exists(root + QStringLiteral("Curve/Soft touch.crv")));
    }

    void aLibraryThatCannotBeMadeIsOneMessageAndEmptyLists_data()
    {
        QTest::addColumn<QString>("blocker");   // a file where a folder must be
        QTest::addColumn<QString>("named");     // what the message names as the cause
        QTest::newRow("data folder is a file") << QStringLiteral("data") << QStringLiteral("is a file, not a folder");
        QTest::newRow("library is a file") << QStringLiteral("data/zorvik-halden/zorvik")
                                           << QStringLiteral("zorvik\" is a file, not a folder");
    }
    void aLibraryThatCannotBeMadeIsOneMessageAndEmptyLists()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, named);
        FreshLibrary home(FreshLibrary::Kind::UserLibrary);
        writeFile(home.outside(blocker), "in the way");
        const LibraryLocation &library = home.location();
        const LibrarySetup::Result result = LibrarySetup::prepare(library);
        QVERIFY(result.problem.contains(library.displayPath()));
        QVERIFY2(result.problem.contains(named), qPrintable(result.problem));
        QVERIFY(result.problem.contains(QStringLiteral("The lists stay empty")));
        QCOMPARE(readFile(home.outside(blocker)), QByteArray("in the way"));
        QVERIFY(FolderListing::list(library.folder(DataPaths::Folder::Syx), QStringLiteral("syx")).names.isEmpty());
    }

    void aFullDiskDuringTheFirstStartLeavesNoCutFile()
    {
        FreshLibrary home(FreshLibrary::Kind::UserLibrary);
        const LibraryLocation &library = home.location();
        // A file size limit stops a write half way as a full disk does, without needing root.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = saved;
        tiny.rlim_cur = 1000;   // bytes: the curves fit, the song files and the help page do not
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        const LibrarySetup::Result result = LibrarySetup::prepare(library);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY2(result.problem.startsWith(QStringLiteral("The demo library could not be copied completely into \"%1\": ")
                                               .arg(library.displayPath())),
                 qPrintable(result.problem));
        QVERIFY(result.problem.contains(QStringLiteral("could not be written")));
        QVERIFY(result.filesCopied > 0);
        // What is there is whole.
        QDirIterator it(library.root(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QCOMPARE(readFile(path), readFile(QStringLiteral(ZORVIK_DEMO_DIR "/") + path.mid(library.root().size())));
        }
    }

    void commandLineAndCurrentDirectoryLibrariesAreUsedAsTheyAre()
    {
        FreshLibrary home(FreshLibrary::Kind::UserLibrary);
        // A --library folder that is not there is said once; nothing is made.
        const LibraryLocation missing = LibraryLocation::decide(home.outside(QStringLiteral("gone")), {});
        const LibrarySetup::Result result = LibrarySetup::prepare(missing);
        QVERIFY(result.problem.contains(QStringLiteral("does not exist")));
        QVERIFY(result.problem.contains(missing.displayPath()));
        QVERIFY(!QFileInfo::exists(home.outside(QStringLiteral("gone"))));

        // One that is there, and zorvik/ here, are left exactly as they are.
        const auto back = currentDirectory(home.outside(QStringLiteral("work")));
        QVERIFY(QDir().mkpath(home.outside(QStringLiteral("mine"))));
        QVERIFY(QDir().mkpath(QStringLiteral("zorvik")));
        for (const LibraryLocation &location :
             {LibraryLocation::decide(home.outside(QStringLiteral("mine")), {}), LibraryLocation::decide({}, {})}) {
            const QStringList before = snapshot(location.root());
            QVERIFY(LibrarySetup::prepare(location).problem.isEmpty());
            QCOMPARE(snapshot(location.root()), before);
        }
        QVERIFY(!QFileInfo::exists(home.outside(QStringLiteral("data"))));
    }

    void zorvikctlFindsPlainNamesInItsLibrary()
    {
        FreshLibrary home(FreshLibrary::Kind::UserLibrary);
        const QString library = home.outside(QStringLiteral("mine"));
        const QByteArray factory = readFile(QStringLiteral(ZORVIK_DEMO_DIR "/syx/Factory default.syx"));
        writeFile(library + QStringLiteral("/syx/Factory default.syx"), factory);

        const auto run = [](const QStringList &arguments, QByteArray *received = nullptr) {
            // The system's ports stay out: only the built-in simulator is there.
            ControlCommands commands([](bool) { return std::make_unique<FakePorts>(); });
            commands.onStarted = [received](MidiSystem &, InstrumentSimulator &simulator) {
                if (received)
                    QObject::connect(&simulator, &InstrumentSimulator::happened, &simulator, [received, &simulator] {
                        if (!simulator.received().isEmpty())
                            *received = simulator.received().last();
                    });
            };
            return commands.run(arguments);
        };
        const QStringList simulator{QStringLiteral("--out"), QStringLiteral("Zorvik Simulator"), QStringLiteral("--in"),
                                    QStringLiteral("Zorvik Simulator")};
        QByteArray received;
        QCOMPARE(run(QStringList{"send", "Factory default.syx", "--library", library} + simulator, &received),
                 int(ControlCommands::Done));
        // The template as stored, sent to the memory chosen with --number (1).
        QCOMPARE(received.size(), factory.size());
        QCOMPARE(received.mid(11), factory.mid(11));
        received.clear();
        QCOMPARE(run(QStringList{"send", "Factory default.syx", "--library=" + library} + simulator, &received),
                 int(ControlCommands::Done));
        QCOMPARE(received.mid(11), factory.mid(11));

        // Not in the library, a folder that is not there, or no folder at all: refused.
        QCOMPARE(run(QStringList{"send", "other.syx", "--library", library} + simulator), int(ControlCommands::FileRefused));
        QCOMPARE(run({"send", "Factory default.syx", "--library", home.outside(QStringLiteral("gone"))}),
                 int(ControlCommands::UsageError));
        QCOMPARE(run({"send", "Factory default.syx", "--library"}), int(ControlCommands::UsageError));
        QCOMPARE(run({"send", "Factory default.syx", "--library="}), int(ControlCommands::UsageError));

        // A file of that name in the current directory wins; a name with a folder is taken as it is.
        const auto back = currentDirectory(home.outside(QStringLiteral("work")));
        LibraryLocation location(library, LibraryLocation::Source::CommandLine);
        QCOMPARE(location.lookUp(QStringLiteral("Factory default.syx")), library + QStringLiteral("/syx/Factory default.syx"));
        writeFile(QStringLiteral("Factory default.syx"), "here");
        QCOMPARE(location.lookUp(QStringLiteral("Factory default.syx")), QStringLiteral("Factory default.syx"));
        QCOMPARE(location.lookUp(QStringLiteral("sub/x.syx")), QStringLiteral("sub/x.syx"));
        QCOMPARE(location.lookUp(QStringLiteral("notes.txt")), QStringLiteral("notes.txt"));
    }
};

QTEST_GUILESS_MAIN(TestLibraryLocation)
#include "tst_LibraryLocation.moc"
