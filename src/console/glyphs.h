// glyphs.h -- the 8 x 8 code page 437 font the renderer and the window display draw cells with
#pragma once
#include <cstdint>

// console_font8x8[code][row]: row 0 at the top, the leftmost pixel in bit 7. Code 0 is blank.
// Generated at build time by kerv16-cellgen from the Linux console fonts.
extern const uint8_t console_font8x8[256][8];

// console_unicode[code]: the Unicode character code page 437 shows for `code` (code 0 as a space).
extern const uint16_t console_unicode[256];
