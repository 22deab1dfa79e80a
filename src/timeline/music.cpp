// music.cpp -- the soundtrack: mp3 streams (libmpg123) or tracker modules (libopenmpt), start, stop, seek
//
// Threading: the decoders run inside the mix callback on the audio thread. The main thread touches
// `music` only under the audio lock (start, stop, seeks, position); opening and scanning a file
// happens before the lock is taken, so the audio thread never waits for the disk.
#include "timeline/timeline.h"
#include "timeline/music_local.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/msg.h"
#include "platform/file.h"

#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- types ----

enum {
    SEEK_MS = 1000,             // one seek step of a stream
    MIX_CHUNK_FRAMES = 2048,    // decoder scratch for mono streams
    MODULE_MAX_BYTES = 64 << 20,// larger files are not taken for modules
};

// ---- state ----

static struct {
    int initialised;              // the device is open; set once, cleared only by music_use_audio
    openmpt_module* module;       // the module playing, or null
    mpg123_handle* stream;        // the stream playing, or null
    int stream_channels;          // 1 or 2, decoder output at AUDIO_RATE
    int64_t stream_frames;        // length of the stream in frames
    int stream_ended;             // 1 after the last frame or a seek past the end (audio thread, seeks)
    const AudioDriver* audio;     // the output backend; SDL unless chosen otherwise
} music = {0, nullptr, nullptr, 0, 0, 0, &audio_sdl_driver};

static int16_t mono_scratch[MIX_CHUNK_FRAMES];  // audio thread only

// ---- internal functions ----

// Reads up to `frames` stereo frames; fewer once the stream has ended.
static int read_stream(int16_t* out, int frames)
{
    int format_changes = 0, total = 0;
    while (frames > 0 && !music.stream_ended) {
        size_t done = 0;
        int err, n;
        if (music.stream_channels == 2) {
            err = mpg123_read(music.stream, out, (size_t)frames * 4, &done);
            n = (int)(done / 4);
        } else {
            int chunk = frames < MIX_CHUNK_FRAMES ? frames : MIX_CHUNK_FRAMES;
            err = mpg123_read(music.stream, mono_scratch, (size_t)chunk * 2, &done);
            n = (int)(done / 2);
            for (int i = 0; i < n; i++)
                out[2 * i] = out[2 * i + 1] = mono_scratch[i];
        }
        out += 2 * n;
        frames -= n;
        total += n;
        // The output format is pinned, so a format notice only means "go on"; the end of the
        // stream (MPG123_DONE), an error or a read that gives nothing ends the music.
        if (err == MPG123_NEW_FORMAT && ++format_changes < 4)
            continue;
        if (err != MPG123_OK || n == 0)
            music.stream_ended = 1;
    }
    return total;
}

static void fill_stream(int16_t* out, int frames)
{
    int n = read_stream(out, frames);
    if (n < frames)
        memset(out + 2 * n, 0, sizeof(int16_t) * 2 * (size_t)(frames - n));
}

// Past the end the stream stays ended until a seek inside it.
static void seek_stream(int64_t frame)
{
    music.stream_ended = frame >= music.stream_frames || mpg123_seek(music.stream, (off_t)frame, SEEK_SET) < 0;
}

static int read_module(int16_t* out, int frames)
{
    return (int)openmpt_module_read_interleaved_stereo(music.module, AUDIO_RATE, (size_t)frames, out);
}

static void seek_module(int64_t frame) { openmpt_module_set_position_seconds(music.module, (double)frame / (double)AUDIO_RATE); }

static const MusicSource STREAM_SOURCE = {read_stream, seek_stream};
static const MusicSource MODULE_SOURCE = {read_module, seek_module};

// The mix callback: whatever plays, silence otherwise; in the live mode, kept on the demo time.
static void mix(int16_t* out, int frames)
{
    if (music_follow_state.active && (music.stream || music.module)) {
        music_follow_mix(music.stream ? &STREAM_SOURCE : &MODULE_SOURCE, out, frames, clock_ticks());
        return;
    }
    if (music.stream) {
        fill_stream(out, frames);
        return;
    }
    int done = 0;
    if (music.module)
        done = (int)openmpt_module_read_interleaved_stereo(music.module, AUDIO_RATE, (size_t)frames, out);
    if (done < frames)
        memset(out + 2 * done, 0, sizeof(int16_t) * 2 * (size_t)(frames - done));
}

static mpg123_handle* open_stream(const char* name, int* channels, int64_t* frames)
{
    static int library_ready;
    if (!library_ready) {
        if (mpg123_init() != MPG123_OK)
            return nullptr;
        library_ready = 1;
    }
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    if (!h)
        return nullptr;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every stream comes out at the device rate as 16-bit samples; the decoder resamples if it must.
    mpg123_format_none(h);
    mpg123_format(h, AUDIO_RATE, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    long rate;
    int encoding;
    // The scan reads the whole file once so that lengths and seeks are exact to the sample.
    if (mpg123_open(h, name) != MPG123_OK || mpg123_getformat(h, &rate, channels, &encoding) != MPG123_OK ||
        rate != AUDIO_RATE || encoding != MPG123_ENC_SIGNED_16 || mpg123_scan(h) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    off_t length = mpg123_length(h);
    if (length <= 0) {
        mpg123_delete(h);
        return nullptr;
    }
    *frames = length;
    return h;
}

static openmpt_module* open_module(const char* name)
{
    FILE* f = file_open_data(name);
    if (!f)
        return nullptr;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    rewind(f);
    openmpt_module* module = nullptr;
    if (size > 0 && size <= MODULE_MAX_BYTES) {
        void* data = malloc((size_t)size);
        if (data && fread(data, 1, (size_t)size, f) == (size_t)size)
            module = openmpt_module_create_from_memory2(data, (size_t)size, openmpt_log_func_silent, nullptr,
                                                        openmpt_error_func_ignore, nullptr, nullptr, nullptr,
                                                        nullptr);
        free(data);
    }
    fclose(f);
    return module;
}

static int64_t stream_time_ms(void)
{
    if (music.stream_ended)
        return music.stream_frames * 1000 / AUDIO_RATE;
    return (int64_t)mpg123_tell(music.stream) * 1000 / AUDIO_RATE;
}

static void seek(int direction)
{
    music.audio->lock();
    if (music.module) {
        // Modules move by one entry of their order list, kept inside the list.
        int order = openmpt_module_get_current_order(music.module) + direction;
        int last = openmpt_module_get_num_orders(music.module) - 1;
        order = order > last ? last : order;
        order = order < 0 ? 0 : order;
        openmpt_module_set_position_order_row(music.module, order, 0);
    } else if (music.stream) {
        // Before the start plays from 0; past the end the music ends quietly.
        int64_t target = stream_time_ms() + direction * SEEK_MS;
        if (target < 0)
            target = 0;
        int64_t frame = (target * AUDIO_RATE + 999) / 1000;  // rounded up, so the time reads back as target
        if (frame >= music.stream_frames) {
            music.stream_ended = 1;
        } else if (mpg123_seek(music.stream, (off_t)frame, SEEK_SET) >= 0) {
            music.stream_ended = 0;
        } else {
            music.stream_ended = 1;
        }
    }
    music.audio->unlock();
}

// ---- public functions ----

int music_start(const char* name)
{
    if (!music.initialised) {
        // A failure leaves initialised 0, so the next start tries again.
        if (!music.audio->open(AUDIO_RATE, mix))
            return 0;
        music.initialised = 1;
    }
    if (music.module || music.stream)
        music_stop();
    if (!name)
        return 0;
    // The decoders open by name and would wait forever on a FIFO: only a regular file is handed on.
    FILE* probe = file_open_data(name);
    if (!probe) {
        if (errno != ENOENT)  // a missing soundtrack is silent: the show simply has no music
            msg_print(stderr, "%s: music not played: %s\n", name, file_problem());
        return 0;
    }
    fclose(probe);
    if (music_is_mp3(name)) {
        int channels = 0;
        int64_t frames = 0;
        mpg123_handle* stream = open_stream(name, &channels, &frames);
        if (!stream)
            return 0;
        music.audio->lock();
        music.stream = stream;
        music.stream_channels = channels == 1 ? 1 : 2;
        music.stream_frames = frames;
        music.stream_ended = 0;
        music_follow_state.sounding = 0;  // a follower starts it at the demo time
        music.audio->unlock();
        return 1;
    }
    openmpt_module* module = open_module(name);
    if (!module)
        return 0;
    music.audio->lock();
    music.module = module;
    music_follow_state.sounding = 0;
    music.audio->unlock();
    return 1;
}

int music_stop(void)
{
    music.audio->lock();
    openmpt_module* module = music.module;
    mpg123_handle* stream = music.stream;
    music.module = nullptr;
    music.stream = nullptr;
    music.audio->unlock();
    // Freed outside the lock: the callback can no longer see them.
    if (module)
        openmpt_module_destroy(module);
    int ok = 1;
    if (stream)
        ok = mpg123_close(stream) == MPG123_OK;
    if (stream)
        mpg123_delete(stream);
    return ok;
}

void music_seek_back(void) { seek(-1); }
void music_seek_forward(void) { seek(1); }

int music_get_position(void)
{
    music.audio->lock();
    int position = -1;
    if (music.module)
        position = openmpt_module_get_current_order(music.module);
    else if (music.stream)
        position = (int)stream_time_ms();
    music.audio->unlock();
    return position;
}

void music_follow(int demo_ms, uint32_t at_ms, int paused)
{
    music.audio->lock();
    music_follow_set(demo_ms, at_ms, paused);
    music.audio->unlock();
}

void music_use_audio(const AudioDriver* driver)
{
    music_stop();
    if (music.initialised)
        music.audio->close();
    music.initialised = 0;
    music.audio = driver ? driver : &audio_sdl_driver;
    music_follow_state = MusicFollow{};  // a new device plays as the ordinary show until told otherwise
}
