#include "core/sim/SimulatorCommands.h"

#include "core/base/WholeNumber.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/sim/SimulatorFaults.h"

#include <QCryptographicHash>
#include <QList>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <utility>

namespace {

// The words after a command as whole numbers, each within its range (low, high); nothing when
// there are more or fewer of them, or one is not such a number.
std::optional<QList<int>> commandNumbers(const QStringList &words, std::initializer_list<std::pair<int, int>> ranges)
{
    if (words.size() != qsizetype(ranges.size()) + 1)
        return std::nullopt;
    QList<int> values;
    qsizetype at = 1;
    for (const auto &[low, high] : ranges) {
        const auto value = wholeNumber(words.at(at++), low, high);
        if (!value)
            return std::nullopt;
        values.append(*value);
    }
    return values;
}

} // namespace

SimulatorCommands::SimulatorCommands(InstrumentSimulator &simulator, std::function<qint64()> received, QObject *parent)
    : QObject(parent), engine(simulator), receivedCount(std::move(received))
{
}

QString SimulatorCommands::run(const QByteArray &line)
{
    const QStringList words = QString::fromUtf8(line).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    const QString &command = words.first();
    const auto refuse = [&words](const QString &usage) {
        return QStringLiteral("error usage: %1: %2").arg(usage, words.join(QLatin1Char(' ')));
    };
    if (command == QLatin1String("dump")) {
        if (words.size() != 1)
            return refuse(QStringLiteral("dump"));
        engine.sendDump();
    } else if (command == QLatin1String("note")) {
        const auto v = commandNumbers(words, {{0, 127}, {0, 127}});
        if (!v)
            return refuse(QStringLiteral("note KEY(0-127) VELOCITY(0-127)"));
        engine.playNote(v->at(0), v->at(1));
    } else if (command == QLatin1String("cc")) {
        const auto v = commandNumbers(words, {{1, 16}, {0, 127}, {0, 127}});
        if (!v)
            return refuse(QStringLiteral("cc CH(1-16) NUMBER(0-127) VALUE(0-127)"));
        engine.controlChange(v->at(0), v->at(1), v->at(2));
    } else if (command == QLatin1String("bend")) {
        const auto v = commandNumbers(words, {{1, 16}, {InstrumentSimulator::bendLowest, InstrumentSimulator::bendHighest}});
        if (!v)
            return refuse(QStringLiteral("bend CH(1-16) VALUE(-8192..8191, 0 the centre)"));
        engine.pitchBend(v->at(0), v->at(1));
    } else if (command == QLatin1String("status")) {
        if (words.size() != 1)
            return refuse(QStringLiteral("status"));
        const auto &t = engine.lastTransfer();
        return QStringLiteral("status received %1 transfer %2/%3 %4 %5 bytes sha1 %6")
            .arg(receivedCount())
            .arg(t.blocksReceived)
            .arg(t.blockCount)
            .arg(t.complete ? QStringLiteral("complete") : QStringLiteral("open"))
            .arg(t.image.size())
            .arg(QString::fromLatin1(QCryptographicHash::hash(t.image, QCryptographicHash::Sha1).toHex()));
    } else if (command == QLatin1String("fault")) {
        if (const QString usage = SimulatorFaults(engine.faults).setFromCommand(words); !usage.isEmpty())
            return refuse(usage);
        return QStringLiteral("fault %1 %2").arg(words.at(1), words.at(2));
    } else if (command == QLatin1String("quit")) {
        if (words.size() != 1)
            return refuse(QStringLiteral("quit"));
        emit quitRequested();
    } else {
        return QStringLiteral("error unknown command: %1").arg(words.join(QLatin1Char(' ')));
    }
    return {};
}
