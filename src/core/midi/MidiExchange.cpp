#include "core/midi/MidiExchange.h"

#include "core/midi/MidiSystem.h"

#include <utility>

MidiExchange::MidiExchange(MidiExchange &&other) noexcept
    : midi(std::exchange(other.midi, nullptr))
{
}

MidiExchange &MidiExchange::operator=(MidiExchange &&other) noexcept
{
    if (this != &other) {
        end();
        midi = std::exchange(other.midi, nullptr);
    }
    return *this;
}

void MidiExchange::end()
{
    if (MidiSystem *system = std::exchange(midi, nullptr))
        system->endExchange();
}
