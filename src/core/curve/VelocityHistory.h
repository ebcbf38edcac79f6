#pragma once

#include <array>
#include <cstdint>

// The velocities of the last note-ons on channel 1, in order of arrival, for the monitor
// panel. When it is full the next note-on starts it afresh.
class VelocityHistory
{
public:
    static constexpr int capacity = 105;
    static constexpr std::uint8_t noteOnChannel1 = 0x90;

    // A short message as the input delivers it: status in bits 0-7, data bytes above.
    // Records the velocity of a channel-1 note-on (0 included) and returns whether it did.
    bool record(std::uint32_t message);
    void clear();

    int count() const { return recorded; }
    // 0 beyond the count.
    int at(int i) const { return i >= 0 && i < capacity ? entries[static_cast<std::size_t>(i)] : 0; }

private:
    std::array<std::int32_t, capacity> entries{};
    int recorded = 0;
};
