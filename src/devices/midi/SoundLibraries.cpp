#include "devices/midi/SoundLibraries.h"

#ifdef ZORVIK_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif
#ifdef ZORVIK_HAVE_JACK
#include <jack/jack.h>
#endif

#include <mutex>

namespace {

#ifdef ZORVIK_HAVE_ALSA
void alsaSilent(const char *, int, const char *, int, const char *, ...) {}
#endif
#ifdef ZORVIK_HAVE_JACK
void jackSilent(const char *) {}
#endif

} // namespace

void SoundLibraries::silenceErrorOutput()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef ZORVIK_HAVE_ALSA
        snd_lib_error_set_handler(alsaSilent);
#endif
#ifdef ZORVIK_HAVE_JACK
        jack_set_error_function(jackSilent);
        jack_set_info_function(jackSilent);
#endif
    });
}
