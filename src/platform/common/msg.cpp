// msg.cpp -- messages for the user: printed at once, or held while a display owns the terminal
#include "platform/msg.h"

#include <cstdarg>
#include <cstring>

// ---- state ----

enum { MSG_HOLD_BYTES = 16384 };
static struct {
    int hold;                    // 1 while a display owns the terminal
    char text[MSG_HOLD_BYTES];   // held messages, each as stream byte then text then NUL
    int used;                    // bytes of text in use
    int dropped;                 // messages that did not fit
} msg;

// ---- public functions ----

void msg_print(FILE* stream, const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (!msg.hold) {
        fputs(line, stream);
        fflush(stream);
        return;
    }
    int need = 2 + (int)strlen(line);
    if (msg.used + need > MSG_HOLD_BYTES) {
        msg.dropped++;
        return;
    }
    msg.text[msg.used] = stream == stderr ? 'e' : 'o';
    memcpy(msg.text + msg.used + 1, line, need - 1);
    msg.used += need;
}

void msg_hold(int hold) { msg.hold = hold; }

void msg_flush(void)
{
    for (int at = 0; at < msg.used;) {
        FILE* stream = msg.text[at] == 'e' ? stderr : stdout;
        fputs(msg.text + at + 1, stream);
        at += 2 + (int)strlen(msg.text + at + 1);
    }
    if (msg.dropped)
        fprintf(stderr, "(%d more messages were dropped)\n", msg.dropped);
    fflush(stdout);
    fflush(stderr);
    msg.used = 0;
    msg.dropped = 0;
}
