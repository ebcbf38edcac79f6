#pragma once

#include <QString>

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
    // Why the last start() failed, for the user; empty when there is nothing to add.
    virtual QString errorText() const { return {}; }
    // The sound output in use after start(), for the user ("jack", ...); empty when unnamed.
    virtual QString driverName() const { return {}; }
};
