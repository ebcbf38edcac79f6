#include "core/curve/VelocityHistory.h"

bool VelocityHistory::record(std::uint32_t message)
{
    if ((message & 0xFF) != noteOnChannel1)
        return false;
    if (recorded >= capacity)
        clear();
    entries[static_cast<std::size_t>(recorded++)] = static_cast<std::int32_t>((message >> 16) & 0x7F);
    return true;
}

void VelocityHistory::clear()
{
    entries.fill(0);
    recorded = 0;
}
