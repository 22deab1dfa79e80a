// audio_sdl.cpp -- audio through SDL2: one device, 16-bit stereo, our mix as its callback
#include "platform/audio.h"

#include <SDL.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// ---- state ----

static struct {
    SDL_AudioDeviceID device;  // 0 while closed
    AudioMix mix;              // read by the audio thread
} sdl_audio;

// ---- internal functions ----

// Runs on SDL's audio thread with the device lock held.
static void sdl_callback(void*, Uint8* stream, int len)
{
    sdl_audio.mix((int16_t*)stream, len / 4);
}

// Sound libraries below SDL (ALSA on a machine without a card) print their complaints straight to
// file descriptor 2, over the show's picture. While a device is being found, that goes nowhere.
static int quiet_stderr(void)
{
    fflush(stderr);
    int saved = dup(2);
    int null_fd = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null_fd >= 0)
        dup2(null_fd, 2);
    if (null_fd >= 0)
        close(null_fd);
    return saved;
}

static void restore_stderr(int saved)
{
    if (saved < 0)
        return;
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
}

static int open_device(int rate)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return 0;
    SDL_AudioSpec want = {}, have = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = AUDIO_DEVICE_FRAMES;
    want.callback = sdl_callback;
    // No changes allowed: SDL converts to whatever the hardware wants.
    sdl_audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!sdl_audio.device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    return 1;
}

static int sdl_open(int rate, AudioMix mix)
{
    if (sdl_audio.device)
        return 1;
    sdl_audio.mix = mix;
    int saved = quiet_stderr();
    int ok = open_device(rate);
    restore_stderr(saved);
    if (ok)
        SDL_PauseAudioDevice(sdl_audio.device, 0);
    return ok;
}

static void sdl_lock(void)
{
    if (sdl_audio.device)
        SDL_LockAudioDevice(sdl_audio.device);
}

static void sdl_unlock(void)
{
    if (sdl_audio.device)
        SDL_UnlockAudioDevice(sdl_audio.device);
}

static void sdl_close(void)
{
    if (!sdl_audio.device)
        return;
    SDL_CloseAudioDevice(sdl_audio.device);
    sdl_audio.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// ---- public functions ----

const AudioDriver audio_sdl_driver = {"sdl", sdl_open, sdl_lock, sdl_unlock, sdl_close};
