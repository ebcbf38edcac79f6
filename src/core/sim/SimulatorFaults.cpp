#include "core/sim/SimulatorFaults.h"

#include "core/base/WholeNumber.h"

#include <QCommandLineParser>

#include <algorithm>
#include <limits>

namespace {

struct NumberedFault
{
    const char *name;
    const char *description;
    const char *valueName;
    const char *byDefault;
    int minimum;
    bool offAllowed;
    int InstrumentSimulator::Faults::*target;
};

constexpr NumberedFault numberedFaults[] = {
    {"delay", "Reply delay in ms (0 or more).", "ms", "0", 0, false, &InstrumentSimulator::Faults::replyDelayMs},
    {"stop-after", "Stop answering after block k (0 or more).", "k", "-1", 0, true,
     &InstrumentSimulator::Faults::stopAfterBlock},
    {"drop-reply", "Never send the n-th reply of a transfer (1 or more).", "n", "-1", 1, true,
     &InstrumentSimulator::Faults::dropReply},
    {"garble-reply", "Garble the n-th reply of a transfer (1 or more).", "n", "-1", 1, true,
     &InstrumentSimulator::Faults::garbleReply},
    {"unfinished-sysex", "Send a SysEx without its F7 before the n-th reply of a transfer (1 or more).", "n", "-1", 1,
     true, &InstrumentSimulator::Faults::unfinishedSysEx},
};

const QString vanishName = QStringLiteral("vanish-before-last");

} // namespace

QList<QCommandLineOption> SimulatorFaults::options()
{
    QList<QCommandLineOption> list;
    for (const auto &fault : numberedFaults)
        list.append(QCommandLineOption(QLatin1String(fault.name), QLatin1String(fault.description),
                                       QLatin1String(fault.valueName), QLatin1String(fault.byDefault)));
    list.append(QCommandLineOption(vanishName, QStringLiteral("Close the ports when asking for the last block of a transfer.")));
    return list;
}

std::optional<int> SimulatorFaults::value(const QString &text, int minimum, bool offAllowed)
{
    const auto number = wholeNumber(text, offAllowed ? std::min(minimum, -1) : minimum, std::numeric_limits<int>::max());
    if (!number || (*number < minimum && *number != -1))
        return std::nullopt;
    return number;
}

QString SimulatorFaults::setFromOptions(const QCommandLineParser &parser)
{
    for (const auto &fault : numberedFaults) {
        const QString name = QLatin1String(fault.name);
        if (!parser.isSet(name))
            continue;
        const QString text = parser.value(name);
        const auto number = value(text, fault.minimum, fault.offAllowed);
        if (!number)
            return QStringLiteral("--%1 takes a whole number from %2, not \"%3\"").arg(name).arg(fault.minimum).arg(text);
        faults.*fault.target = *number;
    }
    faults.vanishBeforeLast = parser.isSet(vanishName);
    return {};
}

QString SimulatorFaults::setFromCommand(const QStringList &words)
{
    const QString name = words.size() > 1 ? words.at(1) : QString();
    if (name == vanishName) {
        if (words.size() == 3 && (words.at(2) == QLatin1String("0") || words.at(2) == QLatin1String("1"))) {
            faults.vanishBeforeLast = words.at(2) == QLatin1String("1");
            return {};
        }
        return QStringLiteral("fault vanish-before-last 1|0 (on or off)");
    }
    QStringList names;
    for (const auto &fault : numberedFaults) {
        names.append(QLatin1String(fault.name));
        if (name != QLatin1String(fault.name))
            continue;
        const auto number = words.size() == 3 ? value(words.at(2), fault.minimum, fault.offAllowed) : std::nullopt;
        if (number) {
            faults.*fault.target = *number;
            return {};
        }
        return QStringLiteral("fault %1 N(%2 or more%3)")
            .arg(name)
            .arg(fault.minimum)
            .arg(fault.offAllowed ? QStringLiteral(", -1 off") : QString());
    }
    names.append(vanishName);
    return QStringLiteral("fault NAME VALUE, NAME one of %1").arg(names.join(QLatin1String(", ")));
}
