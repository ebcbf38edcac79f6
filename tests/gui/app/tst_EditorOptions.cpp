#include "gui/app/EditorOptions.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The editor's command line as a desktop entry or a script gives it, and the signals a session
// or a script sends it.
class TestEditorOptions : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("text");
        const int run = int(EditorOptions::Outcome::Run);
        const int refused = int(EditorOptions::Outcome::Refused);
        QTest::newRow("none") << QStringList{} << run << QString() << QString() << QString();
        QTest::newRow("both") << QStringList{"--library", "/music/lib", "--audio-driver", "jack"} << run
                              << "/music/lib" << "jack" << QString();
        QTest::newRow("with =") << QStringList{"--audio-driver=alsa"} << run << QString() << "alsa" << QString();
        QTest::newRow("empty library") << QStringList{"--library", ""} << refused << QString() << QString()
                                       << "--library needs a folder";
        QTest::newRow("blank driver") << QStringList{"--audio-driver", "  "} << refused << QString() << QString()
                                      << "--audio-driver needs a driver's name";
        QTest::newRow("driver without name") << QStringList{"--audio-driver"} << refused << QString() << QString()
                                             << "Missing value after '--audio-driver'.";
        QTest::newRow("unknown option") << QStringList{"--sound", "x"} << refused << QString() << QString()
                                        << "Unknown option 'sound'.";
        QTest::newRow("stray word") << QStringList{"song.mid"} << refused << QString() << QString()
                                    << "unexpected argument song.mid";
    }
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, outcome);
        QFETCH(QString, library);
        QFETCH(QString, driver);
        QFETCH(QString, text);
        const EditorOptions options = EditorOptions::parse(QStringList{"zorvik-halden"} + arguments);
        QCOMPARE(int(options.outcome), outcome);
        QCOMPARE(options.library, library);
        QCOMPARE(options.audioDriver, driver);
        QCOMPARE(options.text, text);
    }

    void helpNamesEveryOption()
    {
        const EditorOptions options = EditorOptions::parse({"zorvik-halden", "--help"});
        QCOMPARE(options.outcome, EditorOptions::Outcome::ShowHelp);
        QVERIFY2(options.text.startsWith("Usage: zorvik-halden [options]"), qPrintable(options.text));
        for (const char *option : {"--library <DIR>", "--audio-driver <NAME>", "--help"})
            QVERIFY2(options.text.contains(QLatin1String(option)), option);
    }

    // SIGTERM, SIGINT and SIGHUP end the editor as closing it does, so it gives back what it
    // holds (a USB instrument's link) on the way out.
    void stopSignalsEndItAsClosingDoes()
    {
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            QTemporaryDir home;
            QProcess editor;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("HOME"), home.path());
            environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            editor.setProcessEnvironment(environment);
            editor.start(QStringLiteral(ZORVIK_HALDEN_PATH), {QStringLiteral("--library"), home.path()});
            QVERIFY(editor.waitForStarted());
            QTest::qWait(1500);   // up and running, its window shown
            QCOMPARE(editor.state(), QProcess::Running);
            ::kill(pid_t(editor.processId()), signal);
            QVERIFY(editor.waitForFinished(10000));
            QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
            QCOMPARE(editor.exitCode(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestEditorOptions)
#include "tst_EditorOptions.moc"
