#pragma once

class SongRenderer;

// Where rendered audio goes: a sound device, or nowhere until somebody pulls it (tests,
// benchmarks). The engine makes one output per open song.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // Begins pulling audio from renderer; false when the device cannot be opened.
    virtual bool start(SongRenderer &renderer) = 0;
    // Stops pulling; after it returns the renderer is no longer touched.
    virtual void stop() = 0;
};
