// display_pixels_test.cpp -- the terminal display on a pseudo-terminal: answers taken out of the keys, the protocol chosen from
// them, a terminal that answers nothing left to the text layouts
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/terminal.h"

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
    bool whole = wait_for("\x1bP0;0;0q\"1;1;640;400") && wait_for_end("\x1b[?2026l");   // all of it, 1 : 1, at the top
    std::vector<int> keys = keys_waiting();
    DisplayStats st;
    display_stats(&st);
    // Only what changed goes next time: one row of cells, from the terminal row and column holding it.
    size_t before = output().size();
    cells[DISPLAY_COLS * 30 + 5].ch ^= 0x55;
    display_write(cells);
    bool row = wait_for("\x1b[15;6H\x1bP") && wait_for_end("\x1b[?2026l");   // console row 30 is pixel 240: terminal row 14; column 5 is 40
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
