// audio_web.cpp -- the soundtrack in the web page: decoded by the browser, played from any offset, and the audio clock
//
// The browser decodes the MP3 itself (decodeAudioData, into an AudioBuffer) and plays it from any
// offset (an AudioBufferSourceNode started there). Everything runs on the page's one thread; the
// AudioContext is created by the page's first click or key (browsers start sound only after one).
// The track is placed on the context's time: it plays at position now - base, so a seek moves base,
// and hiding the tab suspends the context, which holds sound and clock together.
#include "platform/audio.h"

#include <emscripten.h>

// ---- internal functions ----

// Module.kervSound: the context, the decoded buffer, what plays and the clock the picture follows.
EM_JS(void, sound_install, (), {
    if (Module.kervSound)
        return;
    var s = {
        ctx: null,          // AudioContext, from the first gesture on
        buffers: {},        // path -> decoded AudioBuffer
        path: null,         // the track asked for
        source: null,       // the node playing, or null
        base: 0,            // the track plays at position now() - base (s)
        playing: false,     // a track was asked to play
        last: 0,            // the clock's last reading (s): it never runs back
        perfStart: -1,      // without an AudioContext: performance.now() at the clock's 0 (ms)
        perfPaused: -1,     // without an AudioContext: performance.now() when the tab was hidden, else -1
        decodedMs: -1,      // page time when the track was decoded
    };
    // Seconds on the clock the picture follows: the time of the sound being heard now, taken from
    // the context's output timestamp and carried on by performance.now() between its steps.
    s.now = function() {
        var t = s.last;
        if (s.ctx) {
            if (s.ctx.state !== 'running')
                return s.last;
            t = s.ctx.currentTime;
            if (s.ctx.getOutputTimestamp) {
                var o = s.ctx.getOutputTimestamp();
                if (o.performanceTime > 0) {
                    var e = o.contextTime + (performance.now() - o.performanceTime) / 1000;
                    if (e <= t && e > t - 0.5)
                        t = e;
                }
            }
        } else if (s.perfStart >= 0) {
            t = ((s.perfPaused >= 0 ? s.perfPaused : performance.now()) - s.perfStart) / 1000;
        }
        if (t < s.last)
            t = s.last;
        s.last = t;
        return t;
    };
    s.restart = function() {
        if (s.source) {
            s.source.onended = null;
            try { s.source.stop(); } catch (e) {}
            s.source.disconnect();
            s.source = null;
        }
        var buffer = s.buffers[s.path];
        if (!s.playing || !s.ctx || !buffer || buffer === 'decoding')
            return;
        var offset = s.ctx.currentTime - s.base;
        if (offset < 0 || offset >= buffer.duration)
            return;
        s.source = s.ctx.createBufferSource();
        s.source.buffer = buffer;
        s.source.connect(s.ctx.destination);
        s.source.start(0, offset);
    };
    // The first gesture: the context starts here, its clock at 0 (the page's clock stood at 0 until now).
    s.start = function() {
        if (s.ctx || s.perfStart >= 0)
            return;
        var Context = window.AudioContext || window.webkitAudioContext;
        try {
            s.ctx = Context ? new Context({latencyHint: 'interactive'}) : null;
        } catch (e) {
            s.ctx = null;
        }
        if (!s.ctx) {
            s.silent();
            return;
        }
        var context = s.ctx;
        context.resume().catch(function() {});
        s.restart();
        // A context the browser keeps from running would hold the clock, and the picture, at 0.
        setTimeout(function() {
            if (s.ctx === context && context.state !== 'running' && !document.hidden) {
                console.warn('kerv16: the browser does not start the sound; the show runs silently');
                s.silent();
            }
        }, 1000);
    };
    // No sound: the page's own clock goes on from where the sound's stood.
    s.silent = function() {
        var context = s.ctx;
        s.ctx = null;
        s.restart();
        if (context)
            context.close();
        s.perfStart = performance.now() - s.last * 1000;
    };
    s.pause = function(paused) {
        if (!s.ctx) {
            if (s.perfStart < 0)
                return;
            if (paused && s.perfPaused < 0) {
                s.perfPaused = performance.now();
            } else if (!paused && s.perfPaused >= 0) {
                s.perfStart += performance.now() - s.perfPaused;
                s.perfPaused = -1;
            }
            return;
        }
        if (paused)
            s.ctx.suspend();
        else
            s.ctx.resume();
    };
    s.position = function() { return s.playing ? (s.now() - s.base) * 1000 : -1; };
    Module.kervSound = s;
});

// ---- public functions ----

int audio_track_open(const char* path)
{
    sound_install();
    return EM_ASM_INT({
        var s = Module.kervSound;
        var path = UTF8ToString($0);
        s.path = path;
        if (s.buffers[path])
            return 1;
        var bytes;
        try {
            bytes = FS.readFile(path);
        } catch (e) {
            return 0;
        }
        // Decoded apart from any context (an offline one needs no gesture), so it is ready by the click.
        s.buffers[path] = 'decoding';
        var decoder = new OfflineAudioContext(2, 1, 44100);
        decoder.decodeAudioData(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength))
            .then(function(buffer) {
                s.buffers[path] = buffer;
                s.decodedMs = performance.now();
                if (s.path === path)
                    s.restart();
            }, function(e) {
                delete s.buffers[path];
                console.warn('kerv16: ' + path + ': the browser cannot decode it; the show goes on silently');
            });
        return 1;
    }, path);
}

void audio_track_play(int ms)
{
    EM_ASM({
        var s = Module.kervSound;
        s.base = s.now() - $0 / 1000;
        s.playing = true;
        s.restart();
    }, ms);
}

void audio_track_stop(void)
{
    EM_ASM({
        var s = Module.kervSound;
        if (!s)
            return;
        s.playing = false;
        s.restart();
    });
}

int audio_track_position(void)
{
    return EM_ASM_INT({ return Module.kervSound ? Math.floor(Module.kervSound.position()) : -1; });
}
