// The simulator's faults set by name, at the start (the options) and while it runs ("fault NAME
// VALUE"): the values each fault takes, -1 for off, the 1|0 switch, and a refusal with the
// usage that changes nothing.
#include "core/sim/SimulatorFaults.h"
#include "core/sim/SimulatorOptions.h"

#include <QCommandLineParser>
#include <QTest>

namespace {

QStringList words(const char *line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool sameFaults(const InstrumentSimulator::Faults &a, const InstrumentSimulator::Faults &b)
{
    return a.replyDelayMs == b.replyDelayMs && a.readyDelayMs == b.readyDelayMs && a.stopAfterBlock == b.stopAfterBlock
           && a.dropReply == b.dropReply && a.garbleReply == b.garbleReply && a.unfinishedSysEx == b.unfinishedSysEx
           && a.vanishBeforeLast == b.vanishBeforeLast;
}

} // namespace

class TestSimulatorFaults : public QObject
{
    Q_OBJECT

private slots:
    void commandSetsAFault_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<int>("drop");
        QTest::addColumn<int>("garble");
        QTest::addColumn<int>("unfinished");
        // From faults all at 7.
        QTest::newRow("delay 0") << "fault delay 0" << 0 << 7 << 7 << 7 << 7;
        QTest::newRow("delay 250") << "fault delay 250" << 250 << 7 << 7 << 7 << 7;
        QTest::newRow("stop-after 0") << "fault stop-after 0" << 7 << 0 << 7 << 7 << 7;
        QTest::newRow("stop-after off") << "fault stop-after -1" << 7 << -1 << 7 << 7 << 7;
        QTest::newRow("drop-reply 1") << "fault drop-reply 1" << 7 << 7 << 1 << 7 << 7;
        QTest::newRow("drop-reply off") << "fault drop-reply -1" << 7 << 7 << -1 << 7 << 7;
        QTest::newRow("garble-reply 3") << "fault garble-reply 3" << 7 << 7 << 7 << 3 << 7;
        QTest::newRow("garble-reply 03") << "fault garble-reply 03" << 7 << 7 << 7 << 3 << 7;
        QTest::newRow("unfinished-sysex 2") << "fault unfinished-sysex 2" << 7 << 7 << 7 << 7 << 2;
        QTest::newRow("unfinished-sysex off") << "fault unfinished-sysex -1" << 7 << 7 << 7 << 7 << -1;
    }
    void commandSetsAFault()
    {
        QFETCH(QString, line);
        QFETCH(int, delay);
        QFETCH(int, stopAfter);
        QFETCH(int, drop);
        QFETCH(int, garble);
        QFETCH(int, unfinished);
        InstrumentSimulator::Faults faults;
        faults.replyDelayMs = faults.stopAfterBlock = faults.dropReply = faults.garbleReply = faults.unfinishedSysEx = 7;
        QCOMPARE(SimulatorFaults(faults).setFromCommand(line.split(QLatin1Char(' '))), QString());
        QCOMPARE(faults.replyDelayMs, delay);
        QCOMPARE(faults.stopAfterBlock, stopAfter);
        QCOMPARE(faults.dropReply, drop);
        QCOMPARE(faults.garbleReply, garble);
        QCOMPARE(faults.unfinishedSysEx, unfinished);
        QCOMPARE(faults.readyDelayMs, 0);
        QVERIFY(!faults.vanishBeforeLast);
    }

    void vanishIsASwitch()
    {
        InstrumentSimulator::Faults faults;
        SimulatorFaults byName(faults);
        QCOMPARE(byName.setFromCommand(words("fault vanish-before-last 1")), QString());
        QVERIFY(faults.vanishBeforeLast);
        QCOMPARE(byName.setFromCommand(words("fault vanish-before-last 0")), QString());
        QVERIFY(!faults.vanishBeforeLast);
    }

    void badCommandsAreRefusedWithTheUsage_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("usage");
        const QString names = QStringLiteral("fault NAME VALUE, NAME one of delay, stop-after, drop-reply, garble-reply, "
                                             "unfinished-sysex, vanish-before-last");
        const QString delay = QStringLiteral("fault delay N(0 or more)");
        const QString stopAfter = QStringLiteral("fault stop-after N(0 or more, -1 off)");
        const QString dropReply = QStringLiteral("fault drop-reply N(1 or more, -1 off)");
        const QString vanish = QStringLiteral("fault vanish-before-last 1|0 (on or off)");
        QTest::newRow("no name") << "fault" << names;
        QTest::newRow("unknown name") << "fault bogus 1" << names;
        QTest::newRow("name of another case") << "fault Delay 1" << names;
        QTest::newRow("delay off") << "fault delay -1" << delay;
        QTest::newRow("delay not a number") << "fault delay abc" << delay;
        QTest::newRow("delay with a unit") << "fault delay 5ms" << delay;
        QTest::newRow("delay past int") << "fault delay 2147483648" << delay;
        QTest::newRow("no value") << "fault stop-after" << stopAfter;
        QTest::newRow("two values") << "fault stop-after 1 2" << stopAfter;
        QTest::newRow("below off") << "fault stop-after -2" << stopAfter;
        QTest::newRow("drop-reply 0") << "fault drop-reply 0" << dropReply;
        QTest::newRow("drop-reply -3") << "fault drop-reply -3" << dropReply;
        QTest::newRow("vanish 7") << "fault vanish-before-last 7" << vanish;
        QTest::newRow("vanish on") << "fault vanish-before-last on" << vanish;
        QTest::newRow("vanish -1") << "fault vanish-before-last -1" << vanish;
        QTest::newRow("vanish no value") << "fault vanish-before-last" << vanish;
    }
    void badCommandsAreRefusedWithTheUsage()
    {
        QFETCH(QString, line);
        QFETCH(QString, usage);
        InstrumentSimulator::Faults faults;
        faults.replyDelayMs = 40;
        faults.stopAfterBlock = 5;
        faults.dropReply = 2;
        faults.vanishBeforeLast = true;
        const InstrumentSimulator::Faults before = faults;
        QCOMPARE(SimulatorFaults(faults).setFromCommand(line.split(QLatin1Char(' '))), usage);
        QVERIFY(sameFaults(faults, before));
    }

    void optionsSetTheFaults()
    {
        SimulatorOptions options;
        QVERIFY(options.parse({"zorvik-sim", "--delay", "20", "--stop-after", "0", "--drop-reply", "-1",
                               "--garble-reply", "4", "--unfinished-sysex", "1", "--vanish-before-last"}));
        InstrumentSimulator::Faults faults;
        faults.dropReply = 9;
        QCOMPARE(options.applyFaults(faults), QString());
        QCOMPARE(faults.replyDelayMs, 20);
        QCOMPARE(faults.stopAfterBlock, 0);
        QCOMPARE(faults.dropReply, -1);
        QCOMPARE(faults.garbleReply, 4);
        QCOMPARE(faults.unfinishedSysEx, 1);
        QVERIFY(faults.vanishBeforeLast);
        QVERIFY(!options.jack());
        QVERIFY(!options.quiet());
    }

    void noOptionsLeaveTheFaultsOff()
    {
        SimulatorOptions options;
        QVERIFY(options.parse({"zorvik-sim", "--jack", "--quiet"}));
        InstrumentSimulator::Faults faults;
        QCOMPARE(options.applyFaults(faults), QString());
        QVERIFY(sameFaults(faults, InstrumentSimulator::Faults()));
        QVERIFY(options.jack());
        QVERIFY(options.quiet());
    }

    void badOptionValuesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("delay not a number") << QStringList{"--delay", "abc"}
                                            << "--delay takes a whole number from 0, not \"abc\"";
        QTest::newRow("negative delay") << QStringList{"--delay", "-5"} << "--delay takes a whole number from 0, not \"-5\"";
        QTest::newRow("delay off") << QStringList{"--delay", "-1"} << "--delay takes a whole number from 0, not \"-1\"";
        QTest::newRow("delay empty") << QStringList{"--delay="} << "--delay takes a whole number from 0, not \"\"";
        QTest::newRow("stop-after not a number") << QStringList{"--stop-after", "x"}
                                                 << "--stop-after takes a whole number from 0, not \"x\"";
        QTest::newRow("drop-reply 0") << QStringList{"--drop-reply", "0"} << "--drop-reply takes a whole number from 1, not \"0\"";
        QTest::newRow("garble-reply -3") << QStringList{"--garble-reply", "-3"}
                                         << "--garble-reply takes a whole number from 1, not \"-3\"";
        QTest::newRow("unfinished-sysex past int") << QStringList{"--unfinished-sysex", "99999999999"}
                                                   << "--unfinished-sysex takes a whole number from 1, not \"99999999999\"";
        QTest::newRow("two bad: the first in the usage's order") << QStringList{"--drop-reply", "0", "--delay", "x"}
                                           << "--delay takes a whole number from 0, not \"x\"";
    }
    void badOptionValuesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        SimulatorOptions options;
        QVERIFY(options.parse(QStringList{"zorvik-sim"} + arguments));
        InstrumentSimulator::Faults faults;
        QCOMPARE(options.applyFaults(faults), error);
        QVERIFY(options.helpText().contains(QStringLiteral("--vanish-before-last")));
    }

    void unknownOptionIsAnError()
    {
        SimulatorOptions options;
        QVERIFY(!options.parse({"zorvik-sim", "--delays", "5"}));
        QVERIFY2(options.errorText().contains(QStringLiteral("delays")), qPrintable(options.errorText()));
    }
};

QTEST_APPLESS_MAIN(TestSimulatorFaults)
#include "tst_SimulatorFaults.moc"
