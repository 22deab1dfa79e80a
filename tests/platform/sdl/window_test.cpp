// window_test.cpp -- the console window's key mapping and events, and cells drawn into pixels
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "platform/vga.h"
#include "platform/window.h"

namespace {

SDL_Event key_down(SDL_Keycode sym, Uint16 mod = KMOD_NONE)
{
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
}

// The keys the window's events put into the display's queue (read through the null display, which
// adds nothing of its own).
std::vector<int> drain(void)
{
    display_use(nullptr);
    std::vector<int> keys;
    for (int k; (k = display_read_key()) != -1;)
        keys.push_back(k);
    return keys;
}

TEST(WindowKeys, ConsoleConventions)
{
    drain();
    SDL_Event events[] = {key_down(SDLK_ESCAPE), key_down(SDLK_LEFT), key_down(SDLK_RIGHT), key_down(SDLK_a),
                          key_down(SDLK_SPACE), key_down(SDLK_LSHIFT)};
    for (const SDL_Event& e : events)
        window_handle_event(&e);
    EXPECT_EQ(drain(), (std::vector<int>{27, 224, 75, 224, 77, 'a', ' '}));
}

// The live mode's transport keys, as a console gives them.
TEST(WindowKeys, TransportKeys)
{
    drain();
    SDL_Event events[] = {key_down(SDLK_UP), key_down(SDLK_DOWN), key_down(SDLK_HOME), key_down(SDLK_LEFTBRACKET),
                          key_down(SDLK_RIGHTBRACKET), key_down(SDLK_BACKSPACE), key_down(SDLK_TAB)};
    for (const SDL_Event& e : events)
        window_handle_event(&e);
    EXPECT_EQ(drain(), (std::vector<int>{224, 72, 224, 80, 224, 71, '[', ']', 8, 9}));
}

TEST(WindowKeys, ClosingTheWindowReadsAsEscapeAndAltEnterIsNoKey)
{
    drain();
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_Event alt_enter = key_down(SDLK_RETURN, KMOD_LALT);
    window_handle_event(&alt_enter);  // toggles full screen; no window here, so nothing happens
    window_handle_event(&quit);
    EXPECT_EQ(drain(), (std::vector<int>{27}));
}

TEST(WindowKeys, QueueNeverOverflows)
{
    drain();
    SDL_Event e = key_down(SDLK_LEFT);
    for (int i = 0; i < 1000; i++)
        window_handle_event(&e);
    std::vector<int> keys = drain();
    EXPECT_LE(keys.size(), 64u);
    EXPECT_EQ(keys.front(), 224);
}

// One place short of full, an arrow is left out whole: no lone 224 stays at the end.
TEST(WindowKeys, AnArrowNeverLeavesALonePrefix)
{
    drain();
    SDL_Event a = key_down(SDLK_a), left = key_down(SDLK_LEFT), right = key_down(SDLK_RIGHT);
    for (int i = 0; i < 63; i++)
        window_handle_event(&a);
    window_handle_event(&left);
    std::vector<int> keys = drain();
    ASSERT_EQ(keys.size(), 63u);
    EXPECT_EQ(keys.back(), 'a');

    for (int i = 0; i < 62; i++)
        window_handle_event(&a);
    window_handle_event(&right);  // exactly two places left: it fits
    keys = drain();
    ASSERT_EQ(keys.size(), 64u);
    EXPECT_EQ(keys[62], 224);
    EXPECT_EQ(keys[63], 77);
}

TEST(CellsDraw, GlyphsInTheConsoleColours)
{
    std::vector<DisplayCell> cells(DISPLAY_CELLS, DisplayCell{' ', 0x1E});  // yellow on blue
    cells[81] = DisplayCell{0xDB, 0x0C};                                     // full block, bright red on black
    std::vector<uint32_t> px(VGA_PIXELS_W * VGA_PIXELS_H);
    vga_draw_cells(cells.data(), vga_palette, px.data(), VGA_PIXELS_W);
    EXPECT_EQ(px[0], 0xFF000080u);  // a space shows the background
    for (int y = 8; y < 16; y++)
        for (int x = 8; x < 16; x++)
            EXPECT_EQ(px[y * VGA_PIXELS_W + x], 0xFFFF0000u) << x << "," << y;
    std::vector<uint8_t> rgb(VGA_PIXELS_W * VGA_PIXELS_H * 3);
    vga_draw_cells_rgb(cells.data(), vga_palette, rgb.data());
    EXPECT_EQ(rgb[(8 * VGA_PIXELS_W + 8) * 3], 255);
    EXPECT_EQ(rgb[(8 * VGA_PIXELS_W + 8) * 3 + 2], 0);
    EXPECT_EQ(rgb[2], 128);
}

}  // namespace
