#include "core/panel/RangeRules.h"

namespace {

// The text without the leading zeros that make it longer than width.
QString withoutExtraZeros(const QString &text, int width)
{
    qsizetype start = 0;
    while (text.size() - start > width && text.at(start) == QLatin1Char('0'))
        ++start;
    return text.mid(start);
}

} // namespace

std::optional<int> RangeRules::read(const QString &typed, Kind kind)
{
    const QString text = withoutExtraZeros(typed, width(kind));
    if (text.size() > width(kind))
        return std::nullopt;
    if (text.isEmpty())
        return -1;
    int value = 0;
    for (const QChar c : text)
        value = 10 * value + (c.unicode() - 48);
    return value;
}

QString RangeRules::write(int value, Kind kind)
{
    return QStringLiteral("%1").arg(value, width(kind), 10, QLatin1Char('0'));
}

RangeRules::Leave RangeRules::leave(const QString &text, Kind kind)
{
    // Too long even without its leading zeros: a number beyond the range.
    const int value = read(text, kind).value_or(1000);
    if (kind == Kind::Value) {
        if (value < 0 || value >= 128)
            return {QStringLiteral("001"), QStringLiteral("please enter again,the range of name is between 0-127!!!")};
        return {write(value, kind), {}};
    }
    if (text.isEmpty() || value > 16 || value < 0)
        return {QStringLiteral("01"), QStringLiteral("please enter again,the range of name is between 01-16!!!")};
    return {write(value == 0 ? 1 : value, kind), {}};
}

std::optional<QString> RangeRules::wheel(const QString &text, Kind kind, int delta)
{
    std::optional<int> value = read(text, kind);
    if (!value || delta == 0)
        return std::nullopt;
    // Wheels report in steps of 120 (finer on touchpads); the direction decides.
    int next = *value + (delta > 0 ? -1 : 1);
    if (kind == Kind::Value) {
        if (next < 0)
            next = 127;
        else if (next > 127)
            next = 0;
    } else {
        if (next <= 0)
            next = 16;
        else if (next > 16)
            next = 1;
    }
    return write(next, kind);
}

std::optional<QString> RangeRules::stepChannel(const QString &text, int step)
{
    const std::optional<int> value = read(text, Kind::Channel);
    if (!value)
        return std::nullopt;
    int next = *value + step;
    if (next < 1)
        next = 16;
    else if (next > 16)
        next = 1;
    return write(next, Kind::Channel);
}
