#pragma once

// The MIDI devices every send and capture opens. Set to the defaults at every start of the
// main window, changed only by OK in the Set Device dialog, never saved.
// Output -1 and input 0 are the built-in simulator on this platform.
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
