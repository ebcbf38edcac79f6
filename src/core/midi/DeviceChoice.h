#pragma once

// The MIDI devices every send and capture opens, never saved. Set to the defaults at every start
// of the main window; the defaults, output -1 and input 0, mean "the instrument": MidiSystem's
// DeviceSelection sets these to the instrument it finds (the built-in simulator, whose numbers
// they are, when there is none) until OK in the Set Device dialog records the user's choice.
struct DeviceChoice
{
    static constexpr int defaultIn = 0;
    static constexpr int defaultOut = -1;

    static inline int midiIn = defaultIn;
    static inline int midiOut = defaultOut;

    static void resetToDefaults()
    {
        midiIn = defaultIn;
        midiOut = defaultOut;
    }
};
