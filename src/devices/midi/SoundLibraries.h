#pragma once

// The ALSA and JACK client libraries print their own complaints (no sequencer, no sound card,
// no JACK server) on stderr at every try. Here a missing one is a normal state that the
// program reports in its own words, so their printing is switched off once for the process.
class SoundLibraries
{
public:
    static void silenceErrorOutput();
};
