#pragma once

// Which MIDI device, in one direction: the built-in one (the simulator, given by whoever builds
// the MIDI system), a port of the system's by its place in the system's list (from 0), or none.
// It names a place, not a port: the port listed there may change as ports come and go.
//
// Users see numbers instead (zorvikctl's --out and --in, its port list, a device missing in a
// message): on the output side -1 is the built-in device and the system's outputs follow as 0,
// 1, ...; on the input side 0 is the built-in device and the system's inputs follow as 1, 2,
// .... None reads as -2 (output) and -1 (input).
class MidiDevice
{
public:
    constexpr MidiDevice() = default;   // none

    static constexpr MidiDevice none() { return {}; }
    static constexpr MidiDevice builtIn() { return MidiDevice(Kind::BuiltIn, 0); }
    static constexpr MidiDevice system(int index)
    {
        return index < 0 ? MidiDevice() : MidiDevice(Kind::System, index);
    }

    // The numbers users see (above).
    constexpr int outputNumber() const
    {
        return kind == Kind::BuiltIn ? -1 : kind == Kind::System ? place : -2;
    }
    constexpr int inputNumber() const
    {
        return kind == Kind::BuiltIn ? 0 : kind == Kind::System ? place + 1 : -1;
    }

    constexpr bool isNone() const { return kind == Kind::None; }
    constexpr bool isBuiltIn() const { return kind == Kind::BuiltIn; }
    constexpr bool isSystem() const { return kind == Kind::System; }
    // The place in the system's list; -1 unless isSystem().
    constexpr int index() const { return kind == Kind::System ? place : -1; }

    constexpr bool operator==(const MidiDevice &) const = default;

private:
    enum class Kind : unsigned char { None, BuiltIn, System };
    constexpr MidiDevice(Kind k, int at) : kind(k), place(at) {}

    Kind kind = Kind::None;
    int place = 0;
};
