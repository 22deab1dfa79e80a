// compose.cpp -- PLACEHOLDER until frame composition lands: a moving test pattern, ends after 10 s
#include "demo/demo.h"
#include "scenes/scenes.h"

int sync_setup(void) { return 1; }

void compose_frame(int t)
{
    for (int y = 0; y < SCREEN_H; y++)
        for (int x = 0; x < SCREEN_W; x++)
            screen[y * SCREEN_W + x] = (uint32_t)((x + t / 10) & 255) | (uint32_t)(y * 255 / 149) << 8;
    screen_present();
    if (t > 10000)
        end_flag = 1;
}
