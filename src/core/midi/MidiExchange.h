#pragma once

class MidiSystem;

// One exchange of SysEx with the devices in use, from MidiSystem::openExchange() until it is
// destroyed or ended: while it is open, a device with a direct link (a USB instrument) is
// reached through that link, and given back to the system when the exchange ends. Moves, never
// copies.
class MidiExchange
{
public:
    MidiExchange() = default;
    ~MidiExchange() { end(); }
    MidiExchange(MidiExchange &&other) noexcept;
    MidiExchange &operator=(MidiExchange &&other) noexcept;
    MidiExchange(const MidiExchange &) = delete;
    MidiExchange &operator=(const MidiExchange &) = delete;

    bool isOpen() const { return midi != nullptr; }
    void end();

private:
    friend class MidiSystem;
    explicit MidiExchange(MidiSystem *system) : midi(system) {}

    MidiSystem *midi = nullptr;
};
