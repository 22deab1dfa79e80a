// replies.cpp -- fuzz target: any bytes as terminal input, cut into reads at a pace of the input's choosing,
// through the reply parser in front of the key decoder
#include "fuzz_input.h"
#include "platform/terminal_pixels.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte: whether answers are awaited, the size of each read and the time between reads.
    int awaiting = data[0] & 1;
    size_t chunk = 1 + (size_t)(data[0] >> 1) % 32;
    uint32_t step = (uint32_t)(data[0] >> 6) * 150;
    data++, size--;
    TerminalReplies r;
    uint32_t now = 0xFFFFF000u;   // the clock wraps during the run
    terminal_replies_init(&r, awaiting, now);
    std::vector<uint8_t> out(chunk + TERMINAL_REPLY_HOLD);
    size_t in_total = 0, out_total = 0;
    for (size_t at = 0; at < size; at += chunk) {
        size_t n = size - at < chunk ? size - at : chunk;
        size_t k = terminal_replies_feed(&r, data + at, n, now, out.data());
        if (k > n + TERMINAL_REPLY_HOLD)
            fuzz_fail("more bytes handed on than the room promised");
        in_total += n;
        out_total += k;
        now += step;
        out_total += terminal_replies_tick(&r, now, out.data());
        if (r.held_len < 0 || r.held_len > TERMINAL_REPLY_HOLD)
            fuzz_fail("held bytes outside the buffer");
        if (out_total > in_total)
            fuzz_fail("bytes handed on that never came in");
    }
    const int values[] = {r.max_w, r.max_h, r.cell_w, r.cell_h, r.area_w, r.area_h};
    for (int v : values)
        if (v < 0 || v > TERMINAL_REPLY_LIMIT)
            fuzz_fail("a size outside the clamp");
    if (r.kitty < -1 || r.kitty > 1 || r.kitty_shm < -1 || r.kitty_shm > 1 || (r.sixel != 0 && r.sixel != 1))
        fuzz_fail("an answer outside its values");
    // Nothing is held for ever: after long enough every sequence has ended or been dropped.
    now += TERMINAL_REPLY_AWAIT_MS + TERMINAL_REPLY_STALE_MS;
    out_total += terminal_replies_tick(&r, now, out.data());
    if (r.held_len != 0 || r.awaiting)
        fuzz_fail("bytes or the wait held past every limit");
    if (out_total > in_total)
        fuzz_fail("bytes handed on that never came in");
    return 0;
}
