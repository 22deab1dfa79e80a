// display_window.cpp -- the console window on SDL: 640 x 400 cells scaled by whole numbers, keys as a console gives them
#include "platform/window.h"

#include "platform/vga.h"

#include <SDL.h>

// ---- state ----

static struct {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    uint32_t pixels[VGA_PIXELS_W * VGA_PIXELS_H];  // the frame being shown
    int fullscreen;                                  // 1 while full screen
} win;

// ---- internal functions ----

static void push_key(int code) { display_push_key(code); }

// An arrow goes in whole or not at all: a lone prefix would swallow the next key read.
static void push_arrow(int code)
{
    int codes[2] = {KEY_PREFIX, code};
    display_push_keys(codes, 2);
}

static void set_fullscreen(int on)
{
    if (!win.window)
        return;
    if (SDL_SetWindowFullscreen(win.window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
        win.fullscreen = on;
}

static void show(void)
{
    if (!win.renderer)
        return;
    SDL_UpdateTexture(win.texture, nullptr, win.pixels, VGA_PIXELS_W * 4);
    SDL_SetRenderDrawColor(win.renderer, 0, 0, 0, 255);
    SDL_RenderClear(win.renderer);
    SDL_RenderCopy(win.renderer, win.texture, nullptr, nullptr);
    SDL_RenderPresent(win.renderer);
}

static void pump(void)
{
    SDL_Event e;
    while (SDL_PollEvent(&e))
        window_handle_event(&e);
}

// The largest whole scale of 640 x 400 that fits the desktop with room for the window frame.
static int fitting_scale(void)
{
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
        return 1;
    int scale = usable.w / VGA_PIXELS_W < usable.h / VGA_PIXELS_H ? usable.w / VGA_PIXELS_W : usable.h / VGA_PIXELS_H;
    return scale < 1 ? 1 : scale;
}

static int window_open(const DisplaySettings* settings)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        msg_print(stderr, "kerv16: cannot open a window: %s\n", SDL_GetError());
        return 0;
    }
    int scale = fitting_scale();
    win.window = SDL_CreateWindow(settings->title ? settings->title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, VGA_PIXELS_W * scale,
                                  VGA_PIXELS_H * scale, SDL_WINDOW_RESIZABLE);
    if (win.window)
        win.renderer = SDL_CreateRenderer(win.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (win.renderer && !win.texture) {
        SDL_RenderSetLogicalSize(win.renderer, VGA_PIXELS_W, VGA_PIXELS_H);
        SDL_RenderSetIntegerScale(win.renderer, SDL_TRUE);
        win.texture = SDL_CreateTexture(win.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        VGA_PIXELS_W, VGA_PIXELS_H);
    }
    if (!win.texture) {
        msg_print(stderr, "kerv16: cannot open a window: %s\n", SDL_GetError());
        return 0;
    }
    for (int i = 0; i < VGA_PIXELS_W * VGA_PIXELS_H; i++)
        win.pixels[i] = 0xFF000000u;
    show();
    return 1;
}

static void window_set_grid(int, int, int fullscreen)
{
    // The grid is always 80 x 50 here; full screen is a wish that the desktop may refuse.
    if (fullscreen)
        set_fullscreen(1);
}

static void window_write(const DisplayCell* cells)
{
    vga_draw_cells(cells, vga_palette, win.pixels, VGA_PIXELS_W);
    show();
    pump();
}

// Waits for any event; the next poll takes what it brought.
static int window_wait(int ms)
{
    if (!win.window)
        return 0;
    SDL_WaitEventTimeout(nullptr, ms < 0 || ms > 50 ? 50 : ms);
    return 1;
}

static int window_close(void)
{
    if (win.texture)
        SDL_DestroyTexture(win.texture);
    if (win.renderer)
        SDL_DestroyRenderer(win.renderer);
    if (win.window)
        SDL_DestroyWindow(win.window);
    win.texture = nullptr, win.renderer = nullptr, win.window = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 1;
}

// ---- public functions ----

void window_handle_event(const SDL_Event* e)
{
    if (e->type == SDL_QUIT) {
        push_key(KEY_ESCAPE);  // closing the window ends the show like Escape
        return;
    }
    if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_EXPOSED) {
        show();
        return;
    }
    if (e->type != SDL_KEYDOWN)
        return;
    SDL_Keycode sym = e->key.keysym.sym;
    if ((sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (e->key.keysym.mod & KMOD_ALT)) {
        if (!e->key.repeat)
            set_fullscreen(!win.fullscreen);
        return;
    }
    switch (sym) {
    case SDLK_ESCAPE: push_key(KEY_ESCAPE); break;
    case SDLK_LEFT: push_arrow(KEY_LEFT); break;
    case SDLK_RIGHT: push_arrow(KEY_RIGHT); break;
    case SDLK_UP: push_arrow(KEY_UP); break;
    case SDLK_DOWN: push_arrow(KEY_DOWN); break;
    case SDLK_HOME: push_arrow(KEY_HOME); break;
    case SDLK_BACKSPACE: push_key(KEY_BACKSPACE); break;
    case SDLK_TAB: push_key(KEY_TAB); break;
    case SDLK_RETURN: case SDLK_KP_ENTER: push_key(13); break;
    default:
        // Printable keys come as their character, like a console read; modifiers alone give nothing.
        if (sym >= 32 && sym < 127)
            push_key((int)sym);
        break;
    }
}

extern const DisplayDriver display_window_driver;  // a row of the display table
const DisplayDriver display_window_driver = {
    .name = "window",
    .live = 1,
    .open = window_open,
    .set_grid = window_set_grid,
    .write_cells = window_write,
    .poll = pump,
    .wait = window_wait,
    .stats = nullptr,
    .close = window_close,
    .own_text = 0,
};
