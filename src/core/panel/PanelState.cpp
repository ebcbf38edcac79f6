#include "core/panel/PanelState.h"

namespace {
constexpr int numberOffset = 19;   // of `number` in a record
} // namespace

bool PanelState::isBoxField(int slot, Field field)
{
    const int f = static_cast<int>(field);
    return slot >= 0 && slot < PanelSettings::slotCount && f >= 0 && f < PanelSettings::boxFieldCount;
}

QString PanelState::boxText(int slot, Field field) const
{
    if (!isBoxField(slot, field))
        return {};
    return boxes[static_cast<std::size_t>(slot)][static_cast<std::size_t>(field)];
}

void PanelState::setBoxText(int slot, Field field, const QString &text)
{
    if (isBoxField(slot, field))
        boxes[static_cast<std::size_t>(slot)][static_cast<std::size_t>(field)] = text;
}

QString PanelState::number(int slot) const
{
    const int at = slot * PanelSettings::recordSize + numberOffset;
    if (slot < 0 || slot >= PanelSettings::slotCount || recordBlock.size() < at + 3)
        return {};
    return QString::fromLatin1(recordBlock.constData() + at, 3);
}

bool PanelState::looksLike(const PanelState &other) const
{
    if (boxes != other.boxes || channel != other.channel || marked != other.marked)
        return false;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        if (number(slot) != other.number(slot))
            return false;
    }
    return true;
}

QList<PanelState::Change> PanelState::changesTo(const PanelState &other) const
{
    QList<Change> changes;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            const auto field = static_cast<Field>(f);
            if (boxText(slot, field) != other.boxText(slot, field))
                changes.append({slot, field, boxText(slot, field), other.boxText(slot, field)});
        }
    }
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        if (number(slot) != other.number(slot))
            changes.append({slot, Field::Number, number(slot), other.number(slot)});
    }
    if (channel != other.channel)
        changes.append({channelBox, Field::Channel, channel, other.channel});
    return changes;
}
