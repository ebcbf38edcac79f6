// The number parser of the programs' options and commands: what it takes, and what it refuses
// without taking a part of it (a number with a unit, a fraction, a number past int).
#include "core/base/WholeNumber.h"

#include <QTest>

#include <limits>
#include <optional>

class TestWholeNumber : public QObject
{
    Q_OBJECT

private slots:
    void readsWithinTheRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<std::optional<int>>("expected");
        const std::optional<int> none;
        const int most = std::numeric_limits<int>::max();
        QTest::newRow("in range") << "5" << 1 << 10 << std::optional(5);
        QTest::newRow("lowest") << "1" << 1 << 10 << std::optional(1);
        QTest::newRow("highest") << "10" << 1 << 10 << std::optional(10);
        QTest::newRow("below") << "0" << 1 << 10 << none;
        QTest::newRow("above") << "11" << 1 << 10 << none;
        QTest::newRow("negative in range") << "-8192" << -8192 << 8191 << std::optional(-8192);
        QTest::newRow("negative below") << "-8193" << -8192 << 8191 << none;
        QTest::newRow("int's largest") << "2147483647" << 1 << most << std::optional(most);
        QTest::newRow("past int") << "2147483648" << 1 << most << none;
        QTest::newRow("far past int") << "99999999999" << 1 << most << none;
        QTest::newRow("past long long") << "99999999999999999999999" << 1 << most << none;
        // As typed at a shell or in a script: taken.
        QTest::newRow("spaces around") << " 7 " << 1 << 10 << std::optional(7);
        QTest::newRow("plus sign") << "+7" << 1 << 10 << std::optional(7);
        QTest::newRow("leading zero") << "07" << 1 << 10 << std::optional(7);
        QTest::newRow("minus zero") << "-0" << 0 << 10 << std::optional(0);
        // Not whole numbers: refused, never read in part.
        QTest::newRow("empty") << "" << 0 << 10 << none;
        QTest::newRow("word") << "abc" << 0 << 10 << none;
        QTest::newRow("unit") << "5ms" << 0 << 10 << none;
        QTest::newRow("fraction") << "1.5" << 0 << 10 << none;
        QTest::newRow("exponent") << "1e3" << 0 << 10000 << none;
        QTest::newRow("hexadecimal") << "0x10" << 0 << 100 << none;
        QTest::newRow("thousands") << "1,000" << 0 << 10000 << none;
        QTest::newRow("two numbers") << "1 2" << 0 << 10 << none;
        QTest::newRow("sign alone") << "-" << -10 << 10 << none;
    }
    void readsWithinTheRange()
    {
        QFETCH(QString, text);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(std::optional<int>, expected);
        QCOMPARE(wholeNumber(text, minimum, maximum), expected);
    }
};

QTEST_APPLESS_MAIN(TestWholeNumber)
#include "tst_WholeNumber.moc"
