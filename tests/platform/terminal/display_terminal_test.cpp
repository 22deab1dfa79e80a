// display_terminal_test.cpp -- the terminal driver writing to a file and reading keys from a pipe
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <vector>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/terminal.h"
#include "vterm_screen.h"

namespace {

// Standard output goes to a temporary file and standard input comes from a pipe while a test runs.
struct TerminalDriverOnFiles : ::testing::Test {
    int saved_out = -1, saved_in = -1, key_pipe[2] = {-1, -1};
    FILE* file = nullptr;

    void SetUp() override
    {
        fflush(stdout);
        file = tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(pipe(key_pipe), 0);
        saved_out = dup(STDOUT_FILENO);
        saved_in = dup(STDIN_FILENO);
        dup2(fileno(file), STDOUT_FILENO);
        dup2(key_pipe[0], STDIN_FILENO);
        clock_use_manual(1);
        clock_set(1000);
        setenv("COLORTERM", "truecolor", 1);
        ASSERT_TRUE(display_select("terminal", nullptr));
    }
    // Called before checking results, so that failures print where they can be seen.
    void restore_stdio()
    {
        if (saved_out < 0)
            return;
        display_close();
        msg_flush();   // held messages go to the file, after the frames
        display_use(&display_null_driver);
        clock_use_manual(0);
        dup2(saved_out, STDOUT_FILENO);
        dup2(saved_in, STDIN_FILENO);
        close(saved_out);
        close(saved_in);
        saved_out = saved_in = -1;
    }
    void TearDown() override
    {
        restore_stdio();
        close(key_pipe[0]);
        if (key_pipe[1] >= 0)
            close(key_pipe[1]);
        fclose(file);
    }
    std::string written()
    {
        std::string s;
        rewind(file);
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, file)) > 0)
            s.append(buf, n);
        return s;
    }
};

TEST_F(TerminalDriverOnFiles, FramesAreWrittenInOneWriteEachAndNothingIsSwitched)
{
    ASSERT_EQ(display_open("KERV16 - alt+enter=fullscreen"), 1);
    display_set_grid(80, 50, 1);
    static DisplayCell frame[DISPLAY_CELLS];
    std::mt19937 rng(5);
    for (auto& c : frame)
        c = {(uint8_t)rng(), (uint8_t)rng()};
    display_write(frame);
    msg_print(stdout, "a message in the middle\n");
    frame[77].ch ^= 1;
    display_write(frame);
    display_write(frame);   // unchanged: no bytes
    DisplayStats st;
    ASSERT_TRUE(display_stats(&st));
    restore_stdio();

    EXPECT_EQ(st.frames, 3);
    EXPECT_EQ(st.writes, 2);
    std::string out = written();
    // The message was held until the display closed: it follows the last frame instead of splitting one.
    const std::string message = "a message in the middle\n";
    ASSERT_GE(out.size(), message.size());
    EXPECT_EQ(out.substr(out.size() - message.size()), message);
    out.resize(out.size() - message.size());
    EXPECT_EQ((long long)out.size(), st.bytes);
    EXPECT_LT(st.largest, st.bytes);
    // No alternate screen, title, cursor or grid requests on something that is not a terminal.
    EXPECT_EQ(out.find("\x1b[?1049"), std::string::npos);
    EXPECT_EQ(out.find("\x1b]0;"), std::string::npos);
    EXPECT_EQ(out.find("\x1b[8;50;80t"), std::string::npos);
    EXPECT_EQ(out.find("\x1b[10;1t"), std::string::npos);
    VtScreen vt(DISPLAY_ROWS, DISPLAY_COLS);
    vt.feed(out);
    expect_shows(vt, frame, true);
}

TEST_F(TerminalDriverOnFiles, KeysFromAPipeAndEndOfInput)
{
    int opened = display_open("t");
    const char keys[] = "x\x1b[C\x1bOD\x1b";
    ssize_t sent = write(key_pipe[1], keys, sizeof keys - 1);
    std::vector<int> got;
    for (int i = 0; i < 5; i++)
        got.push_back(display_read_key());
    int waiting_early = display_key_waiting();   // the Escape may still start a sequence
    clock_advance(TERMINAL_ESCAPE_MS);
    int waiting_late = display_key_waiting();
    got.push_back(display_read_key());
    close(key_pipe[1]);
    key_pipe[1] = -1;
    int after_end = display_wait_key();   // end of input: waiting returns at once
    restore_stdio();

    EXPECT_EQ(opened, 1);
    EXPECT_EQ(sent, (ssize_t)(sizeof keys - 1));
    EXPECT_EQ(got, std::vector<int>({'x', 224, 77, 224, 75, 27}));
    EXPECT_FALSE(waiting_early);
    EXPECT_TRUE(waiting_late);
    EXPECT_EQ(after_end, -1);
}

TEST_F(TerminalDriverOnFiles, ColourModeFromTheEnvironment)
{
    struct Case {
        const char *colours, *colorterm, *term, *program;
        bool truecolour;
    };
    const Case cases[] = {
        {nullptr, nullptr, "xterm", nullptr, true},            // xterm passes no COLORTERM but takes 24-bit
        {nullptr, nullptr, "xterm-256color", nullptr, true},
        {nullptr, nullptr, "foot-direct", nullptr, true},
        {nullptr, nullptr, "linux", nullptr, false},           // the Linux console
        {nullptr, nullptr, "screen-256color", nullptr, false},
        {nullptr, nullptr, nullptr, nullptr, false},
        {nullptr, "truecolor", "linux", nullptr, true},
        {nullptr, "24bit", "screen", nullptr, true},
        {nullptr, nullptr, "xterm-256color", "Apple_Terminal", false},
        {"16", "truecolor", "xterm", nullptr, false},           // forced off
        {"24", nullptr, "linux", nullptr, true},                // forced on
    };
    const char* saved_term = getenv("TERM");
    std::string term_before = saved_term ? saved_term : "";
    auto set = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
    static DisplayCell frame[DISPLAY_CELLS];
    for (auto& c : frame)
        c = {' ', 0x10};   // blue: 44 as an ANSI colour, 48;2;0;0;128 in 24-bit
    std::vector<std::string> outs;
    for (const Case& c : cases) {
        set("KERV16_COLOURS", c.colours);
        set("COLORTERM", c.colorterm);
        set("TERM", c.term);
        set("TERM_PROGRAM", c.program);
        long at = ftell(file);
        display_open("t");
        display_write(frame);
        display_close();
        fflush(file);
        std::string all = written();
        outs.push_back(all.substr((size_t)at));
        fseek(file, 0, SEEK_END);
    }
    set("KERV16_COLOURS", nullptr);
    set("TERM_PROGRAM", nullptr);
    set("TERM", saved_term ? term_before.c_str() : nullptr);
    restore_stdio();
    for (size_t i = 0; i < outs.size(); i++) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string(c.term ? c.term : "no TERM") + " COLORTERM " + (c.colorterm ? c.colorterm : "-") +
                     " KERV16_COLOURS " + (c.colours ? c.colours : "-"));
        EXPECT_EQ(outs[i].find("48;2;0;0;128m") != std::string::npos, c.truecolour);
        EXPECT_EQ(outs[i].find(";44m") != std::string::npos, !c.truecolour);
    }
}

}  // namespace
