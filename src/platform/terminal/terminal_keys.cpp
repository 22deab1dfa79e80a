// terminal_keys.cpp -- terminal input bytes to console key codes in the display's queue: a small escape-sequence state machine
//
// Escape is the one key that ends the show, so only a lone Escape is one: nothing after it within
// TERMINAL_ESCAPE_MS. On a raw terminal Escape followed at once by another key is that key with Alt
// (Alt+x, Alt+Enter, Alt+Escape), which is no console key and is dropped; a line-buffered terminal
// delivers Escape and Enter together, so there both are keys. A sequence that never ends is dropped
// after TERMINAL_SEQUENCE_MAX bytes or TERMINAL_SEQUENCE_MS, so nothing holds the keys up for ever.
#include "platform/terminal.h"

#include <cstring>

// ---- types ----

enum {
    KEYS_GROUND,       // plain bytes are keys
    KEYS_ESCAPE,       // an Escape arrived: a lone key or the start of a sequence
    KEYS_CSI,          // ESC [ parameters... final
    KEYS_SS3,          // ESC O final
    KEYS_STRING,       // ESC ] / P / _ / ^ / X ... up to BEL or ESC backslash
    KEYS_STRING_ESC,   // an Escape inside a string: its end, or a new sequence
};

// ---- internal functions ----

// A plain byte as a console reads it: the Backspace key sends DEL where a console gives 8.
static void push(TerminalKeys*, int code) { display_push_key(code == 0x7F ? KEY_BACKSPACE : code); }

static void push_arrow(TerminalKeys*, int code)
{
    int codes[2] = {KEY_PREFIX, code};
    display_push_keys(codes, 2);   // both halves or neither
}

static void start_escape(TerminalKeys* keys, uint32_t now_ms)
{
    keys->state = KEYS_ESCAPE;
    keys->escape_at = now_ms;
}

static int escape_ripe(const TerminalKeys* keys, uint32_t now_ms)
{
    return (uint32_t)(now_ms - keys->escape_at) >= TERMINAL_ESCAPE_MS;
}

static void after_escape(TerminalKeys* keys, uint8_t b, uint32_t now_ms)
{
    keys->params = 0;
    keys->number = 0;
    keys->length = 2;
    switch (b) {
    case '[': keys->state = KEYS_CSI; break;
    case 'O': keys->state = KEYS_SS3; break;
    case ']': case 'P': case '_': case '^': case 'X': keys->state = KEYS_STRING; break;
    case 0x1B:
        // Two Escapes: on a raw terminal the first came with the second (Alt+Escape, or Alt with the
        // sequence the second begins); on a line-buffered one the first stood alone.
        if (!keys->raw)
            push(keys, KEY_ESCAPE);
        start_escape(keys, now_ms);
        break;
    default:
        if (b < 0x20 && !keys->raw) {
            // Escape then a control key (Escape, Enter on a line-buffered terminal): both are keys.
            push(keys, KEY_ESCAPE);
            push(keys, b);
        }
        // Alt with a printable key is not a console key: dropped whole.
        keys->state = KEYS_GROUND;
        break;
    }
}

static void feed_byte(TerminalKeys* keys, uint8_t b, uint32_t now_ms)
{
    if (keys->skip > 0) {
        keys->skip--;
        return;
    }
    switch (keys->state) {
    case KEYS_GROUND:
        if (b == 0x1B)
            start_escape(keys, now_ms);
        else
            push(keys, b);
        break;
    case KEYS_ESCAPE:
        if (escape_ripe(keys, now_ms)) {
            // Nothing followed in time (the reads were late): the Escape stood alone.
            push(keys, KEY_ESCAPE);
            keys->state = KEYS_GROUND;
            feed_byte(keys, b, now_ms);
        } else {
            after_escape(keys, b, now_ms);
        }
        break;
    case KEYS_CSI:
    case KEYS_SS3:
        if (++keys->length > TERMINAL_SEQUENCE_MAX) {
            keys->state = KEYS_GROUND;        // longer than any key: garbage, dropped
            feed_byte(keys, b, now_ms);
        } else if (b == 0x1B) {
            start_escape(keys, now_ms);       // an Escape cancels an unfinished sequence
        } else if (b == 0x18 || b == 0x1A) {
            keys->state = KEYS_GROUND;        // CAN, SUB
        } else if (b >= 0x20 && b <= 0x3F) {
            keys->params = 1;                 // parameters and intermediates
            keys->number = b >= '0' && b <= '9' && keys->number >= 0 && keys->number < 1000
                               ? keys->number * 10 + (b - '0') : -1;
        } else if (b >= 0x40 && b <= 0x7E) {
            if (!keys->params && b == 'D')
                push_arrow(keys, KEY_LEFT);
            else if (!keys->params && b == 'C')
                push_arrow(keys, KEY_RIGHT);
            else if (!keys->params && b == 'A')
                push_arrow(keys, KEY_UP);
            else if (!keys->params && b == 'B')
                push_arrow(keys, KEY_DOWN);
            else if (!keys->params && b == 'H')
                push_arrow(keys, KEY_HOME);       // xterm's Home, CSI H or SS3 H
            else if (b == '~' && keys->state == KEYS_CSI && (keys->number == 1 || keys->number == 7))
                push_arrow(keys, KEY_HOME);       // VT220's and rxvt's Home, CSI 1 ~ and CSI 7 ~
            else if (!keys->params && b == 'M' && keys->state == KEYS_CSI)
                keys->skip = 3;               // a mouse report: button, column, row as raw bytes
            keys->state = KEYS_GROUND;
        }
        // other control bytes inside a sequence are ignored
        break;
    case KEYS_STRING:
        if (b == 0x07 || b == 0x18 || b == 0x1A)
            keys->state = KEYS_GROUND;
        else if (b == 0x1B) {
            keys->state = KEYS_STRING_ESC;    // its end, or an Escape of its own
            keys->escape_at = now_ms;
        }
        break;
    case KEYS_STRING_ESC:
        if (escape_ripe(keys, now_ms)) {
            push(keys, KEY_ESCAPE);           // read late, as above: the Escape stood alone
            keys->state = KEYS_GROUND;
            feed_byte(keys, b, now_ms);
        } else if (b == '\\')
            keys->state = KEYS_GROUND;        // string terminator
        else
            after_escape(keys, b, now_ms);    // the Escape began a new sequence
        break;
    }
}

// ---- public functions ----

void terminal_keys_init(TerminalKeys* keys) { memset(keys, 0, sizeof *keys); }

void terminal_keys_feed(TerminalKeys* keys, const uint8_t* bytes, size_t n, uint32_t now_ms)
{
    for (size_t i = 0; i < n; i++)
        feed_byte(keys, bytes[i], now_ms);
}

void terminal_keys_tick(TerminalKeys* keys, uint32_t now_ms)
{
    // An Escape with nothing after it in time, even one that came inside a string left open, stood alone.
    if ((keys->state == KEYS_ESCAPE || keys->state == KEYS_STRING_ESC) && escape_ripe(keys, now_ms)) {
        push(keys, KEY_ESCAPE);
        keys->state = KEYS_GROUND;
        return;
    }
    if (keys->state == KEYS_ESCAPE || (keys->state == KEYS_GROUND && !keys->skip) ||
        (uint32_t)(now_ms - keys->escape_at) < TERMINAL_SEQUENCE_MS)
        return;
    // A sequence or mouse report left unfinished: no key.
    keys->state = KEYS_GROUND;
    keys->skip = 0;
}

int terminal_keys_pending_escape(const TerminalKeys* keys)
{
    return keys->state == KEYS_ESCAPE || keys->state == KEYS_STRING_ESC;
}
