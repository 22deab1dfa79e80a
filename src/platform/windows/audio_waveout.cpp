// audio_waveout.cpp -- audio through Windows' waveOut: a ring of buffers refilled by a thread of ours
//
// Threading: the refill thread calls the mix with `lock` held; the main thread holds the same lock
// while it changes what the mix reads. waveOut signals `done` whenever it hands a buffer back.
#include "platform/audio.h"

#include <windows.h>
#include <mmsystem.h>

// ---- types ----

enum {
    WAVE_BUFFERS = 4,          // buffers in flight
    WAVE_BUFFER_FRAMES = 2048, // frames per buffer: 46 ms at 44100 Hz, about 0.2 s queued in all
};

// ---- state ----

static struct {
    HWAVEOUT device;            // null while closed
    HANDLE done;                // event: waveOut returned a buffer
    HANDLE thread;              // the refill thread
    volatile LONG running;      // 0 asks the refill thread to stop
    CRITICAL_SECTION lock;      // keeps the mix out while the main thread changes its input
    int lock_ready;             // the critical section exists (made once, never deleted)
    AudioMix mix;               // read by the refill thread
    WAVEHDR headers[WAVE_BUFFERS];
    int16_t samples[WAVE_BUFFERS][2 * WAVE_BUFFER_FRAMES];
} wave;

// ---- internal functions ----

static void fill_and_queue(WAVEHDR* header, int16_t* samples)
{
    EnterCriticalSection(&wave.lock);
    wave.mix(samples, WAVE_BUFFER_FRAMES);
    LeaveCriticalSection(&wave.lock);
    waveOutWrite(wave.device, header, sizeof *header);
}

static DWORD WINAPI refill(void*)
{
    while (wave.running) {
        WaitForSingleObject(wave.done, 100);
        for (int i = 0; i < WAVE_BUFFERS && wave.running; i++)
            if (wave.headers[i].dwFlags & WHDR_DONE)
                fill_and_queue(&wave.headers[i], wave.samples[i]);
    }
    return 0;
}

static void release_device(void)
{
    waveOutReset(wave.device);
    for (int i = 0; i < WAVE_BUFFERS; i++)
        if (wave.headers[i].dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(wave.device, &wave.headers[i], sizeof wave.headers[i]);
    waveOutClose(wave.device);
    wave.device = nullptr;
    CloseHandle(wave.done);
    wave.done = nullptr;
}

static int wave_open(int rate, AudioMix mix)
{
    if (wave.device)
        return 1;
    if (!wave.lock_ready) {
        InitializeCriticalSection(&wave.lock);
        wave.lock_ready = 1;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = (DWORD)rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = (DWORD)rate * 4;
    wave.done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wave.done)
        return 0;
    if (waveOutOpen(&wave.device, WAVE_MAPPER, &format, (DWORD_PTR)wave.done, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        wave.device = nullptr;
        CloseHandle(wave.done);
        wave.done = nullptr;
        return 0;
    }
    wave.mix = mix;
    for (int i = 0; i < WAVE_BUFFERS; i++) {
        WAVEHDR* header = &wave.headers[i];
        *header = WAVEHDR{};
        header->lpData = (LPSTR)wave.samples[i];
        header->dwBufferLength = sizeof wave.samples[i];
        if (waveOutPrepareHeader(wave.device, header, sizeof *header) != MMSYSERR_NOERROR) {
            release_device();
            return 0;
        }
    }
    for (int i = 0; i < WAVE_BUFFERS; i++)
        fill_and_queue(&wave.headers[i], wave.samples[i]);
    wave.running = 1;
    wave.thread = CreateThread(nullptr, 0, refill, nullptr, 0, nullptr);
    if (!wave.thread) {
        wave.running = 0;
        release_device();
        return 0;
    }
    return 1;
}

static void wave_lock(void)
{
    if (wave.lock_ready)
        EnterCriticalSection(&wave.lock);
}

static void wave_unlock(void)
{
    if (wave.lock_ready)
        LeaveCriticalSection(&wave.lock);
}

static void wave_close(void)
{
    if (!wave.device)
        return;
    InterlockedExchange(&wave.running, 0);
    SetEvent(wave.done);
    WaitForSingleObject(wave.thread, INFINITE);
    CloseHandle(wave.thread);
    wave.thread = nullptr;
    release_device();
}

// ---- public functions ----

const AudioDriver audio_waveout_driver = {"waveout", wave_open, wave_lock, wave_unlock, wave_close};
