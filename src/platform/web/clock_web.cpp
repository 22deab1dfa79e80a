// clock_web.cpp -- the web page's tick count: the audio clock, so the picture follows the music
#include "platform/clock.h"

#include <emscripten.h>

// ---- internal functions ----

// Milliseconds of the sound's clock (audio_web.cpp); 0 until the page's first gesture starts it.
EM_JS(double, sound_clock_ms, (), { return Module.kervSound ? Module.kervSound.now() * 1000 : 0; });

// ---- public functions ----

uint32_t clock_system_ticks(void) { return (uint32_t)(int64_t)sound_clock_ms(); }

// The page never waits: the browser calls each frame when it is due.
void clock_system_sleep(uint32_t) {}
