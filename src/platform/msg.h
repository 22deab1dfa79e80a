// msg.h -- messages for the user, held while a display draws on the terminal
#pragma once
#include <cstdio>

// While a display that draws on the terminal is open, messages are held and printed when it closes,
// so they never scribble over the picture.
void msg_print(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
void msg_hold(int hold);    // 1: keep messages from now on; 0: print them as they come
void msg_flush(void);       // print what was held, in order, and empty the hold
