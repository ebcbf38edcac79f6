#pragma once

#include "core/curve/VelocityCurve.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class SysExSender;
class PromptService;

// The velocity curve message: the 13-byte frame with command 05 and number 18, entries 0..126
// of the velocity map one byte each (low 8 bits, not packed), then F7. Entry 127 is not sent.
class CurveSysEx
{
public:
    static constexpr std::size_t size = 141;
    static constexpr std::size_t mapOffset = 13;
    static constexpr std::size_t mapEntries = 127;
    static constexpr std::uint8_t number = 0x18;

    static std::vector<std::uint8_t> build(const VelocityMap &map);

    // Builds the message from map and sends it to the output in use; tells the user when the
    // device cannot be opened or refuses the message. True only when the device took the
    // message: a message too long for the device is not a success either (nothing is shown).
    static bool send(SysExSender &sender, PromptService &prompts, const VelocityMap &map);
};
