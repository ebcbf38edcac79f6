#include "core/panel/PanelMatcher.h"

#include "core/panel/PanelState.h"

#include <cstdlib>
#include <optional>

namespace {

using Field = PanelSettings::Field;
const QString pitchBendLabel = QStringLiteral("-PB");
constexpr int bendCentre = 8192;

// A box's digits as a number; nothing for an empty box or one holding anything else.
std::optional<int> digits(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

int scaled(int distance, int span)
{
    if (span <= 0)
        return 127;
    return (distance * 127 + span / 2) / span;
}

} // namespace

PanelMatcher::PanelMatcher(const PanelState &panel)
{
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        Assignment &a = assigned[static_cast<std::size_t>(slot)];
        const QString label = panel.boxText(slot, Field::Label);
        const QString numberText = panel.number(slot);

        if (PanelSettings::isKnob(slot) || PanelSettings::isPad(slot)) {
            const auto channel = digits(panel.boxText(slot, Field::Channel));
            if (!channel || *channel < 1 || *channel > 16)
                continue;   // the instrument has no such channel
            a.channel = *channel - 1;
        }
        if (isJoystick(slot) && (label == pitchBendLabel || numberText == pitchBendLabel)) {
            a.sends = Sends::PitchBend;
            continue;
        }
        const auto number = digits(numberText);
        if (!number || *number > 127)
            continue;
        a.number = *number;
        // The template's note flag: a CC box that begins with a letter holds a note name.
        const bool noteName = !label.isEmpty() && label.at(0).unicode() >= 0x41;
        a.sends = (PanelSettings::isPad(slot) || slot == PanelSettings::Pedal) && noteName ? Sends::Note
                                                                                           : Sends::Controller;
        if (isJoystick(slot)) {
            const auto high = digits(panel.boxText(slot, Field::RangeHigh));
            const auto low = digits(panel.boxText(slot, Field::RangeLow));
            if (high && low && *high <= 127 && *low <= 127) {
                a.low = qMin(*high, *low);
                a.high = qMax(*high, *low);
            }
        }
    }
}

int PanelMatcher::opposite(int slot)
{
    switch (slot) {
    case PanelSettings::JoystickUp: return PanelSettings::JoystickDown;
    case PanelSettings::JoystickDown: return PanelSettings::JoystickUp;
    case PanelSettings::JoystickLeft: return PanelSettings::JoystickRight;
    default: return PanelSettings::JoystickLeft;
    }
}

int PanelMatcher::zoneValue(int slot, int value) const
{
    const Assignment &a = assignment(slot);
    const Assignment &other = assignment(opposite(slot));
    int rest = a.low;
    // Two directions on one controller split its values: the stick rests where their zones meet.
    if (other.sends == Sends::Controller && other.number == a.number && other.low >= a.high)
        rest = a.high;
    return scaled(std::abs(value - rest), a.high - a.low);
}

QList<PanelMatcher::Hit> PanelMatcher::match(quint8 status, quint8 data1, quint8 data2) const
{
    QList<Hit> hits;
    if (status < 0x80 || status >= 0xF0)
        return hits;
    const int kind = status & 0xF0;
    const int channel = status & 0x0F;
    data1 &= 0x7F;
    data2 &= 0x7F;
    const auto listens = [channel](const Assignment &a) { return a.channel == anyChannel || a.channel == channel; };

    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        const Assignment &a = assignment(slot);
        if (!listens(a))
            continue;
        switch (a.sends) {
        case Sends::Controller:
            if (kind != 0xB0 || a.number != data1)
                break;
            if (!isJoystick(slot))
                hits.append({slot, data2});
            else if (data2 >= a.low && data2 <= a.high)
                hits.append({slot, zoneValue(slot, data2)});
            break;
        case Sends::Note:
            if (kind == 0x90 && a.number == data1 && data2 > 0)
                hits.append({slot, data2});
            break;
        case Sends::PitchBend: {
            if (kind != 0xE0)
                break;
            const int bend = (data2 << 7 | data1) - bendCentre;
            const bool upward = slot == PanelSettings::JoystickUp || slot == PanelSettings::JoystickRight;
            if (bend == 0)
                hits.append({slot, 0});
            else if (upward && bend > 0)
                hits.append({slot, scaled(bend, bendCentre - 1)});
            else if (!upward && bend < 0)
                hits.append({slot, scaled(-bend, bendCentre)});
            break;
        }
        case Sends::Nothing:
            break;
        }
    }
    return hits;
}
