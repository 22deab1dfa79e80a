// display_web.cpp -- the web page's display: the 80 x 50 cells drawn with the 8 x 8 font on a 640 x 400 canvas
//
// The page scales the canvas by whole numbers; keys reach the queue from its handlers through web_key.
#include "platform/display.h"
#include "platform/vga.h"

#include <emscripten.h>

// ---- state ----

// The console colours as red, green and blue in the bytes of each pixel: the canvas's order.
static uint8_t palette_rgba[16][3];
static uint32_t pixels[VGA_PIXELS_W * VGA_PIXELS_H];  // the drawing, handed to the canvas as it is

// ---- internal functions ----

EM_JS(int, canvas_open, (), {
    var canvas = document.getElementById('screen');
    var context = canvas ? canvas.getContext('2d', {alpha: false}) : null;
    if (!context)
        return 0;
    Module.kervCanvas = {context: context, image: context.createImageData(640, 400), frames: 0, firstMs: -1};
    return 1;
});

EM_JS(void, canvas_put, (const uint32_t* rgba), {
    var c = Module.kervCanvas;
    c.image.data.set(HEAPU8.subarray(rgba, rgba + 640 * 400 * 4));
    c.context.putImageData(c.image, 0, 0);
    c.frames++;
    if (c.firstMs < 0)
        c.firstMs = performance.now();
});

static int web_open(const DisplaySettings*)
{
    for (int i = 0; i < 16; i++) {
        palette_rgba[i][0] = vga_palette[i][2];
        palette_rgba[i][1] = vga_palette[i][1];
        palette_rgba[i][2] = vga_palette[i][0];
    }
    return canvas_open();
}

static void web_write(const DisplayCell* cells)
{
    vga_draw_cells(cells, palette_rgba, pixels, VGA_PIXELS_W);  // 0xAABBGGRR: R, G, B, A in memory
    canvas_put(pixels);
}

// ---- public functions ----

// Escape, or KEY_PREFIX with an arrow's code as second (-1: none), from the page's key handler.
extern "C" EMSCRIPTEN_KEEPALIVE void web_key(int code, int code2)
{
    if (code2 < 0) {
        display_push_key(code);
        return;
    }
    const int pair[2] = {code, code2};
    display_push_keys(pair, 2);
}

extern const DisplayDriver display_web_driver;  // a row of the display table
const DisplayDriver display_web_driver = {
    .name = "web",
    .live = 1,
    .open = web_open,
    .set_grid = nullptr,
    .write_cells = web_write,
    .poll = nullptr,
    .wait = nullptr,
    .stats = nullptr,
    .close = nullptr,
    .own_text = 0,
};
