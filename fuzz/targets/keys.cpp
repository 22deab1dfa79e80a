// keys.cpp -- fuzz target: any bytes as terminal input, cut into reads at a pace of the input's choosing,
// through the key decoder into the display's key queue
#include "fuzz_input.h"
#include "platform/terminal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes: a raw terminal or a line-buffered one, the size of each read, and the
    // time between reads (mostly within the Escape's wait, sometimes past a sequence's).
    int raw = data[0] & 1;
    size_t chunk = 1 + (size_t)(data[0] >> 1) % 64;
    uint32_t step = data[1] < 192 ? data[1] % 48 : (uint32_t)(data[1] - 191) * 40;
    data += 2, size -= 2;
    TerminalKeys keys;
    terminal_keys_init(&keys);
    keys.raw = raw;
    display_use(nullptr);
    display_clear_keys();
    uint32_t now = 0xFFFFFF00u;   // the clock wraps during the run
    long escapes = 0, lone = 0;   // Escape keys read, and Escape bytes with nothing after them in time
    for (size_t at = 0; at < size; at += chunk) {
        size_t n = size - at < chunk ? size - at : chunk;
        terminal_keys_feed(&keys, data + at, n, now);
        int last_is_escape = data[at + n - 1] == 0x1B;
        now += step;
        lone += last_is_escape && (at + n == size || step >= TERMINAL_ESCAPE_MS);
        terminal_keys_tick(&keys, now);
        for (int k; (k = display_read_key()) != -1;)
            escapes += k == KEY_ESCAPE;
        if (keys.length < 0 || keys.length > TERMINAL_SEQUENCE_MAX + 1 || keys.skip < 0 || keys.skip > 3)
            fuzz_fail("a sequence held past its bounds");
    }
    // Nothing is held for ever: after long enough the decoder stands on plain ground again.
    terminal_keys_tick(&keys, now + TERMINAL_SEQUENCE_MS);
    terminal_keys_tick(&keys, now + TERMINAL_SEQUENCE_MS + TERMINAL_ESCAPE_MS);
    for (int k; (k = display_read_key()) != -1;)
        escapes += k == KEY_ESCAPE;
    if (keys.state != 0 || keys.skip != 0 || terminal_keys_pending_escape(&keys))
        fuzz_fail("a sequence or an Escape held past every limit");
    // On a raw terminal only a lone Escape is the Escape key (it ends the show).
    if (raw && escapes > lone)
        fuzz_fail("an Escape key from bytes that were no lone Escape");
    return 0;
}
