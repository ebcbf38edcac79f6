// Standard input cut into command lines: lines across and within reads, and a line past the
// limit dropped up to its newline, said once, without keeping its bytes.
#include "core/sim/CommandLineSplitter.h"

#include <QTest>

class TestCommandLineSplitter : public QObject
{
    Q_OBJECT

private:
    CommandLineSplitter *splitter = nullptr;
    QStringList seen;   // "line:<text>" and "too long", in the order they came

private slots:
    void init()
    {
        delete splitter;
        splitter = new CommandLineSplitter;
        seen.clear();
        connect(splitter, &CommandLineSplitter::line, this,
                [this](const QByteArray &line) { seen << QStringLiteral("line:") + QString::fromLatin1(line); });
        connect(splitter, &CommandLineSplitter::tooLong, this, [this] { seen << QStringLiteral("too long"); });
    }
    void cleanupTestCase() { delete splitter; }

    void linesWithinAndAcrossReads()
    {
        splitter->feed("status\nno");
        QCOMPARE(seen, QStringList{"line:status"});
        splitter->feed("te 60 ");
        splitter->feed("100\n\ndump\nqu");
        QCOMPARE(seen, (QStringList{"line:status", "line:note 60 100", "line:", "line:dump"}));
        splitter->feed("it\n");
        QCOMPARE(seen.last(), QStringLiteral("line:quit"));
    }

    void theLongestLineIsTaken()
    {
        const QByteArray longest(CommandLineSplitter::maxLine, 'a');
        splitter->feed(longest.first(1000));
        splitter->feed(longest.sliced(1000) + '\n');
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().size(), 5 + CommandLineSplitter::maxLine);
    }

    void aLongerLineIsDroppedAndSaidOnce_data()
    {
        QTest::addColumn<int>("pieceSize");
        QTest::newRow("in one read") << 8 * 1024 * 1024;
        QTest::newRow("a byte at a time") << 1;
        QTest::newRow("in reads of 4096") << 4096;
        QTest::newRow("in reads of 64 KiB") << 64 * 1024;
    }
    void aLongerLineIsDroppedAndSaidOnce()
    {
        QFETCH(int, pieceSize);
        // Only 8 KiB one byte at a time: the rest is as long as it needs to be.
        const QByteArray line(pieceSize == 1 ? 8 * 1024 : 8 * 1024 * 1024, 'x');
        QByteArray input = "note 60 1\n" + line;
        for (qsizetype at = 0; at < input.size(); at += pieceSize)
            splitter->feed(QByteArrayView(input).sliced(at, std::min<qsizetype>(pieceSize, input.size() - at)));
        QCOMPARE(seen, (QStringList{"line:note 60 1", "too long"}));
        splitter->feed("still the same line\nstatus\n");
        QCOMPARE(seen, (QStringList{"line:note 60 1", "too long", "line:status"}));
    }

    void oneByteTooManyIsTooLong()
    {
        splitter->feed(QByteArray(CommandLineSplitter::maxLine + 1, 'a') + "\nquit\n");
        QCOMPARE(seen, (QStringList{"too long", "line:quit"}));
        // Each line too long is said again.
        splitter->feed(QByteArray(CommandLineSplitter::maxLine + 1, 'b') + '\n');
        QCOMPARE(seen, (QStringList{"too long", "line:quit", "too long"}));
    }
};

QTEST_GUILESS_MAIN(TestCommandLineSplitter)
#include "tst_CommandLineSplitter.moc"
