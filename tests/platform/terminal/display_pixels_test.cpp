// display_pixels_test.cpp -- the terminal display on a pseudo-terminal: answers taken out of the keys, the protocol chosen from
// them, a terminal that answers nothing left to the text layouts
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <map>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/terminal.h"
#include "platform/terminal_pixels.h"
#include "platform/vga.h"

namespace {

// The display's standard input and output are the slave of a pseudo-terminal; a thread keeps
// reading what the display writes (so that frames never block) while the test plays the terminal.
struct PixelsOnPty : ::testing::Test {
    int master = -1, slave = -1, saved_out = -1, saved_in = -1;
    std::thread reader;
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::string shown;

    void SetUp() override
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        winsize ws = {25, 80, 640, 425};   // 8 x 17 pixel cells, as xterm in DejaVu Sans Mono 10
        ioctl(slave, TIOCSWINSZ, &ws);
        fflush(stdout);
        saved_out = dup(STDOUT_FILENO);
        saved_in = dup(STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDIN_FILENO);
        setenv("TERM", "xterm", 1);
        for (const char* name : {"TMUX", "STY", "KITTY_WINDOW_ID", "TERM_PROGRAM", "KONSOLE_VERSION", "WT_SESSION"})
            unsetenv(name);
        reader = std::thread([this] {
            char buf[65536];
            while (!stop) {
                pollfd pfd = {master, POLLIN, 0};
                if (poll(&pfd, 1, 20) > 0) {
                    ssize_t n = read(master, buf, sizeof buf);
                    if (n <= 0)
                        break;
                    std::lock_guard<std::mutex> g(lock);
                    shown.append(buf, (size_t)n);
                }
            }
        });
    }
    std::string output()
    {
        std::lock_guard<std::mutex> g(lock);
        return shown;
    }
    // Waits (bounded) until the display has written `what`.
    bool wait_for(const std::string& what)
    {
        for (int i = 0; i < 300; i++) {
            if (output().find(what) != std::string::npos)
                return true;
            usleep(10000);
        }
        return false;
    }
    // Waits (bounded) until the display's output ends with `what` (a frame written whole).
    bool wait_for_end(const std::string& what)
    {
        for (int i = 0; i < 300; i++) {
            std::string s = output();
            if (s.size() >= what.size() && s.compare(s.size() - what.size(), what.size(), what) == 0)
                return true;
            usleep(10000);
        }
        return false;
    }
    // Writes the same cells again until the output ends with `what` (and holds more than `before`
    // bytes): what the terminal did not take at once goes out as the frames go on.
    bool settle(const DisplayCell* cells, const std::string& what, size_t before = 0)
    {
        for (int i = 0; i < 300; i++) {
            std::string s = output();
            if (s.size() > before && s.size() >= what.size() && s.compare(s.size() - what.size(), what.size(), what) == 0)
                return true;
            display_write(cells);
            usleep(10000);
        }
        return false;
    }
    void answer(const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }
    // Called before checking results, so that failures print where they can be seen.
    void restore_stdio()
    {
        if (saved_out < 0)
            return;
        display_close();
        display_use(&display_null_driver);
        usleep(50000);
        stop = true;
        reader.join();
        dup2(saved_out, STDOUT_FILENO);
        dup2(saved_in, STDIN_FILENO);
        close(saved_out);
        close(saved_in);
        saved_out = saved_in = -1;
    }
    void TearDown() override
    {
        restore_stdio();
        close(slave);
        close(master);
    }
};

std::vector<int> keys_waiting()
{
    std::vector<int> got;
    while (display_key_waiting())
        got.push_back(display_read_key());
    return got;
}

TEST_F(PixelsOnPty, AnswersChooseSixelsAndNeverBecomeKeys)
{
    display_clear_keys();
    ASSERT_TRUE(display_select("terminal", nullptr));
    int opened = display_open("t");
    bool asked = wait_for("\x1b[c");   // the queries, DA1 last
    std::string queries = output();
    // xterm as a VT340 answers, a key arriving in the middle of it and an arrow after it.
    answer("\x1b[?2;0;1000;");
    answer("1000Sx\x1b[?63;1;2;4;6;9;15;16;22;28c\x1b[D");
    static DisplayCell cells[DISPLAY_CELLS];
    for (int i = 0; i < DISPLAY_CELLS; i++)
        cells[i] = {(uint8_t)(i * 7), (uint8_t)(i * 13)};
    display_write(cells);
    bool whole = settle(cells, "\x1b[?2026l") && wait_for("\x1bP0;0;0q\"1;1;640;400");   // all of it, 1 : 1, at the top
    std::vector<int> keys = keys_waiting();
    DisplayStats st;
    display_stats(&st);
    // Only what changed goes next time: one row of cells, from the terminal row and column holding it.
    size_t before = output().size();
    cells[DISPLAY_COLS * 30 + 5].ch ^= 0x55;
    display_write(cells);
    bool row = settle(cells, "\x1b[?2026l", before) && wait_for("\x1b[15;6H\x1bP");   // console row 30 is pixel 240: terminal row 14; column 5 is 40
    std::string second = output().substr(before);
    restore_stdio();

    EXPECT_EQ(opened, 1);
    ASSERT_TRUE(asked);
    EXPECT_NE(queries.find("\x1b_Gi=31,"), std::string::npos);
    EXPECT_NE(queries.find("\x1b[?2;4;0S"), std::string::npos);
    EXPECT_EQ(queries.find("\x1b[16t"), std::string::npos);   // the tty says the cell size
    EXPECT_TRUE(whole);
    EXPECT_EQ(keys, std::vector<int>({'x', 224, 75}));
    EXPECT_NE(std::string(st.detail).find("layout pixels (sixel, scale 1) in a terminal of 80 x 25 cells"), std::string::npos)
        << st.detail;
    EXPECT_TRUE(row);
    EXPECT_EQ(second.find("\x1b[15;6H\x1bP0;0;0q\"1;1;8;10"), 8u) << second.substr(0, 60);   // 8 x 10 pixels, one image
    EXPECT_LT(second.size(), 400u);
    EXPECT_NE(output().find("\x1b[2J\x1b[?7h"), std::string::npos);   // the screen cleared before it is given back
}

// Plays kitty on the images in `out` from `from` on: each shared-memory object named is read (and
// unlinked, as kitty does) into the picture at its place. Returns the edits seen.
int play_kitty(const std::string& out, size_t from, std::vector<uint8_t>* picture)
{
    static const std::string B64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    int edits = 0;
    for (size_t at = out.find("\x1b_G", from); at != std::string::npos; at = out.find("\x1b_G", at + 1)) {
        size_t semi = out.find(';', at), end = out.find("\x1b\\", at);
        std::map<std::string, std::string> keys;
        std::string control = out.substr(at + 3, semi - at - 3) + ",";
        for (size_t k = 0, comma; (comma = control.find(',', k)) != std::string::npos; k = comma + 1) {
            std::string kv = control.substr(k, comma - k);
            keys[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
        }
        if (keys["i"] != std::to_string(TERMINAL_KITTY_IMAGE_ID) || keys["a"] == "d")
            continue;
        EXPECT_EQ(keys["t"], "s");
        EXPECT_EQ(keys["f"], "24");
        std::string name;
        uint32_t acc = 0;
        int bits = 0;
        for (size_t i = semi + 1; i < end && out[i] != '='; i++) {
            acc = acc << 6 | (uint32_t)B64.find(out[i]);
            if ((bits += 6) >= 8)
                name += (char)(acc >> (bits -= 8) & 255);
        }
        int x = atoi(keys["x"].c_str()), y = atoi(keys["y"].c_str()), w = atoi(keys["s"].c_str()), h = atoi(keys["v"].c_str());
        int fd = shm_open(name.c_str(), O_RDONLY, 0);
        EXPECT_GE(fd, 0) << name;
        if (fd < 0)
            continue;
        std::vector<uint8_t> rgb((size_t)w * h * 3);
        EXPECT_EQ(read(fd, rgb.data(), rgb.size()), (ssize_t)rgb.size());
        EXPECT_EQ((size_t)atol(keys["S"].c_str()), rgb.size());
        close(fd);
        shm_unlink(name.c_str());
        for (int r = 0; r < h; r++)
            memcpy(&(*picture)[((size_t)(y + r) * VGA_PIXELS_W + x) * 3], &rgb[(size_t)r * w * 3], (size_t)w * 3);
        edits += keys["a"] == "f";
    }
    return edits;
}

TEST_F(PixelsOnPty, KittyThroughSharedMemoryGetsRawRowsOfTheChangedCellsOnly)
{
    setenv("TERM", "xterm-kitty", 1);   // kitty itself: it edits images in place
    display_clear_keys();
    ASSERT_TRUE(display_select("terminal", nullptr));
    display_open("t");
    bool asked = wait_for("\x1b[c");
    answer("\x1b_Gi=31;OK\x1b\\\x1b_Gi=32;OK\x1b\\\x1b[?62;c");
    static DisplayCell cells[DISPLAY_CELLS];
    for (int i = 0; i < DISPLAY_CELLS; i++)
        cells[i] = {(uint8_t)(i * 7), (uint8_t)(i * 13)};
    display_write(cells);
    bool first = settle(cells, "\x1b[?2026l");
    std::vector<uint8_t> picture(VGA_PIXELS_W * VGA_PIXELS_H * 3, 0);
    play_kitty(output(), 0, &picture);
    // Cells in rows 10 and 12 (one edit over both, the columns between their changes) and in row 40.
    size_t before = output().size();
    for (int at : {10 * DISPLAY_COLS + 5, 10 * DISPLAY_COLS + 7, 12 * DISPLAY_COLS + 70, 40 * DISPLAY_COLS})
        cells[at].attr ^= 0x5A;
    display_write(cells);
    bool second = settle(cells, "\x1b[?2026l", before);
    std::string edits_sent = output().substr(before);
    int edits = play_kitty(output(), before, &picture);
    restore_stdio();
    std::vector<uint8_t> want(picture.size());
    vga_draw_cells_rgb(cells, vga_palette, want.data());

    ASSERT_TRUE(asked);
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(edits, 2) << edits_sent.substr(0, 300);
    EXPECT_NE(edits_sent.find("x=40,y=80,f=24,s=528,v=24,"), std::string::npos) << edits_sent;
    EXPECT_NE(edits_sent.find("x=0,y=320,f=24,s=8,v=8,"), std::string::npos) << edits_sent;
    EXPECT_LT(edits_sent.size(), 300u);
    EXPECT_TRUE(picture == want);
}

TEST_F(PixelsOnPty, ATerminalThatAnswersNothingGetsTheTextLayouts)
{
    display_clear_keys();
    ASSERT_TRUE(display_select("terminal", nullptr));
    display_open("t");
    bool asked = wait_for("\x1b[c");
    static DisplayCell cells[DISPLAY_CELLS];
    display_write(cells);   // after the half second the answers are waited for
    DisplayStats st;
    display_stats(&st);
    bool sixels = output().find("\x1bP") != std::string::npos;
    // A late answer is still taken out of the keys.
    answer("\x1b[?62;c");
    usleep(50000);
    std::vector<int> keys = keys_waiting();
    restore_stdio();

    EXPECT_TRUE(asked);
    EXPECT_NE(std::string(st.detail).find("layout compact in a terminal of 80 x 25 cells"), std::string::npos) << st.detail;
    EXPECT_FALSE(sixels);
    EXPECT_EQ(keys, std::vector<int>());
}

// With the keyboard elsewhere the answers would be echoed by the terminal and left for the shell:
// nothing is asked.
TEST_F(PixelsOnPty, NothingIsAskedWhenTheInputIsNotTheTerminal)
{
    int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, STDIN_FILENO);
    close(nothing);
    ASSERT_TRUE(display_select("terminal", nullptr));
    display_open("t");
    static DisplayCell cells[DISPLAY_CELLS];
    display_write(cells);
    bool drawn = wait_for_end("\x1b[?2026l");
    std::string out = output();
    restore_stdio();

    EXPECT_TRUE(drawn);
    EXPECT_EQ(out.find("\x1b[c"), std::string::npos);
    EXPECT_EQ(out.find("\x1b_G"), std::string::npos);
}

}  // namespace
