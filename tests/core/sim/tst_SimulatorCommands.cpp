// zorvik-sim's commands, a line each: what each sends, what it answers, and that a missing, bad
// or extra word sends nothing and is answered with the command's usage.
#include "core/sim/InstrumentSimulator.h"
#include "core/sim/SimulatorCommands.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestSimulatorCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<InstrumentSimulator> engine;
    std::unique_ptr<SimulatorCommands> commands;
    qint64 received = 0;

    QStringList sentBy(const QByteArray &line, QString *answer)
    {
        QSignalSpy replies(engine.get(), &InstrumentSimulator::reply);
        *answer = commands->run(line);
        QStringList sent;
        for (const auto &reply : replies)
            sent << QString::fromLatin1(reply.at(0).toByteArray().toHex(' ').toUpper());
        return sent;
    }

private slots:
    void init()
    {
        engine = std::make_unique<InstrumentSimulator>();
        received = 0;
        commands = std::make_unique<SimulatorCommands>(*engine, [this] { return received; });
    }

    void controlsSendTheirMessage_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("sent");
        QTest::newRow("note") << QByteArray("note 60 100") << "90 3C 64";
        QTest::newRow("note at the top") << QByteArray("note 127 127") << "90 7F 7F";
        QTest::newRow("cc") << QByteArray("cc 1 72 100") << "B0 48 64";
        QTest::newRow("cc on channel 16") << QByteArray("cc 16 127 0") << "BF 7F 00";
        QTest::newRow("bend lowest") << QByteArray("bend 3 -8192") << "E2 00 00";
        QTest::newRow("bend highest") << QByteArray("bend 16 8191") << "EF 7F 7F";
        QTest::newRow("bend centre") << QByteArray("bend 1 0") << "E0 00 40";
        QTest::newRow("spaces and tabs") << QByteArray("  note\t 60   100 \r") << "90 3C 64";
    }
    void controlsSendTheirMessage()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, sent);
        QString answer;
        QCOMPARE(sentBy(line, &answer), QStringList{sent});
        QCOMPARE(answer, QString());
    }

    void dumpSendsTheTemplate()
    {
        QString answer;
        const QStringList sent = sentBy("dump", &answer);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first(), QString::fromLatin1(engine->currentTemplate().toHex(' ').toUpper()));
        QCOMPARE(answer, QString());
    }

    void badWordsAreRefusedWithTheUsage_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("answer");
        const QString note = QStringLiteral("error usage: note KEY(0-127) VELOCITY(0-127): ");
        const QString cc = QStringLiteral("error usage: cc CH(1-16) NUMBER(0-127) VALUE(0-127): ");
        const QString bend = QStringLiteral("error usage: bend CH(1-16) VALUE(-8192..8191, 0 the centre): ");
        QTest::newRow("note word") << QByteArray("note 60 abc") << note + "note 60 abc";
        QTest::newRow("note past 127") << QByteArray("note 128 1") << note + "note 128 1";
        QTest::newRow("note negative") << QByteArray("note -1 1") << note + "note -1 1";
        QTest::newRow("note one word") << QByteArray("note 60") << note + "note 60";
        QTest::newRow("note extra word") << QByteArray("note 60 1 1") << note + "note 60 1 1";
        QTest::newRow("note past int") << QByteArray("note 4294967356 1") << note + "note 4294967356 1";
        QTest::newRow("note not UTF-8") << QByteArray("note \xff 1") << note + QString::fromUtf8("note \xff 1");
        QTest::newRow("cc channel 17") << QByteArray("cc 17 1 1") << cc + "cc 17 1 1";
        QTest::newRow("cc channel 0") << QByteArray("cc 0 1 1") << cc + "cc 0 1 1";
        QTest::newRow("cc missing value") << QByteArray("cc 1 72") << cc + "cc 1 72";
        QTest::newRow("cc value word") << QByteArray("cc 1 72 x") << cc + "cc 1 72 x";
        QTest::newRow("cc fraction") << QByteArray("cc 1 72 1.5") << cc + "cc 1 72 1.5";
        QTest::newRow("bend past the top") << QByteArray("bend 1 8192") << bend + "bend 1 8192";
        QTest::newRow("bend past the bottom") << QByteArray("bend 1 -8193") << bend + "bend 1 -8193";
        QTest::newRow("bend channel 0") << QByteArray("bend 0 0") << bend + "bend 0 0";
        QTest::newRow("dump word") << QByteArray("dump x") << "error usage: dump: dump x";
        QTest::newRow("status word") << QByteArray("status x") << "error usage: status: status x";
        QTest::newRow("quit word") << QByteArray("quit now") << "error usage: quit: quit now";
        QTest::newRow("fault bad value") << QByteArray("fault delay -1")
                                         << "error usage: fault delay N(0 or more): fault delay -1";
        QTest::newRow("words as given, spaces simplified") << QByteArray("  cc  17   1 1 ") << cc + "cc 17 1 1";
        QTest::newRow("unknown") << QByteArray("play 1") << "error unknown command: play 1";
        QTest::newRow("upper case") << QByteArray("DUMP") << "error unknown command: DUMP";
    }
    void badWordsAreRefusedWithTheUsage()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, answer);
        QSignalSpy quit(commands.get(), &SimulatorCommands::quitRequested);
        QString given;
        QCOMPARE(sentBy(line, &given), QStringList());
        QCOMPARE(given, answer);
        QCOMPARE(quit.size(), 0);
        QCOMPARE(engine->faults.replyDelayMs, 0);
    }

    void blankLinesAreIgnored()
    {
        for (const QByteArray &line : {QByteArray(), QByteArray("   "), QByteArray("\t\r")}) {
            QString answer;
            QCOMPARE(sentBy(line, &answer), QStringList());
            QCOMPARE(answer, QString());
        }
    }

    void faultIsSetAndRepeated()
    {
        QCOMPARE(commands->run("fault delay 30"), QStringLiteral("fault delay 30"));
        QCOMPARE(engine->faults.replyDelayMs, 30);
        QCOMPARE(commands->run("fault drop-reply -1"), QStringLiteral("fault drop-reply -1"));
        QCOMPARE(engine->faults.dropReply, -1);
        QCOMPARE(commands->run("fault vanish-before-last 1"), QStringLiteral("fault vanish-before-last 1"));
        QVERIFY(engine->faults.vanishBeforeLast);
    }

    void statusSaysWhatCameIn()
    {
        QCOMPARE(commands->run("status"),
                 QStringLiteral("status received 0 transfer 0/0 open 0 bytes sha1 da39a3ee5e6b4b0d3255bfef95601890afd80709"));
        received = 12;
        QVERIFY(commands->run("status").startsWith(QStringLiteral("status received 12 transfer 0/0 open ")));
    }

    void quitAsksToQuit()
    {
        QSignalSpy quit(commands.get(), &SimulatorCommands::quitRequested);
        QCOMPARE(commands->run("quit"), QString());
        QCOMPARE(quit.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorCommands)
#include "tst_SimulatorCommands.moc"
