// console_host_windows_test.cpp -- which way the Windows build draws, over the hosts it meets
#include <gtest/gtest.h>

#include "platform/windows/windows_local.h"

namespace {

struct Case {
    const char* what;
    ConsoleFacts facts;
    int host, font, relaunch;
};

TEST(ConsoleHost, EachWayOfStartingGetsItsOwnDrawing)
{
    // out_console, out_stream, has_window, window_class, processes, wine, forced, relaunched
    const Case CASES[] = {
        {"double-click, classic console window", {1, 0, 1, "ConsoleWindowClass", 1, 0, nullptr, 0}, CONSOLE_HOST_CLASSIC, 1, 0},
        {"cmd in a classic console window", {1, 0, 1, "ConsoleWindowClass", 2, 0, nullptr, 0}, CONSOLE_HOST_CLASSIC, 1, 0},
        {"double-click into Windows Terminal", {1, 0, 1, "PseudoConsoleWindow", 1, 0, nullptr, 0}, CONSOLE_HOST_VT, 0, 1},
        {"typed in a Windows Terminal tab", {1, 0, 1, "PseudoConsoleWindow", 3, 0, nullptr, 0}, CONSOLE_HOST_VT, 0, 0},
        {"started again by the relaunch, still a pseudoconsole", {1, 0, 1, "PseudoConsoleWindow", 1, 0, nullptr, 1},
         CONSOLE_HOST_VT, 0, 0},
        {"relaunched into conhost", {1, 0, 1, "ConsoleWindowClass", 1, 0, nullptr, 1}, CONSOLE_HOST_CLASSIC, 1, 0},
        {"output into a file", {0, 1, 1, "ConsoleWindowClass", 2, 0, nullptr, 0}, CONSOLE_HOST_TEXT, 0, 0},
        {"output into a pipe from Windows Terminal", {0, 1, 1, "PseudoConsoleWindow", 1, 0, nullptr, 0}, CONSOLE_HOST_TEXT, 0, 0},
        {"no standard output at all", {0, 0, 1, "ConsoleWindowClass", 1, 0, nullptr, 0}, CONSOLE_HOST_CLASSIC, 0, 0},
        {"Wine's console inside a Unix terminal", {1, 0, 0, nullptr, 1, 1, nullptr, 0}, CONSOLE_HOST_CLASSIC, 0, 0},
        {"Wine's console window: no raster font there", {1, 0, 1, "WineConsoleClass", 1, 1, nullptr, 0}, CONSOLE_HOST_CLASSIC, 0, 0},
        {"forced vt in a console window", {1, 0, 1, "ConsoleWindowClass", 1, 0, "vt", 0}, CONSOLE_HOST_VT, 0, 0},
        {"forced text", {1, 0, 1, "PseudoConsoleWindow", 1, 0, "text", 0}, CONSOLE_HOST_TEXT, 0, 0},
        {"forced classic in Windows Terminal: no font there, no relaunch", {1, 0, 1, "PseudoConsoleWindow", 1, 0, "classic", 0},
         CONSOLE_HOST_CLASSIC, 0, 0},
        {"forced classic in Wine's Unix terminal: no font", {1, 0, 0, nullptr, 1, 1, "classic", 0}, CONSOLE_HOST_CLASSIC, 0, 0},
    };
    for (const Case& c : CASES) {
        ConsoleChoice got = console_host_choose(&c.facts);
        EXPECT_EQ(got.host, c.host) << c.what;
        EXPECT_EQ(got.font, c.font) << c.what;
        EXPECT_EQ(got.relaunch, c.relaunch) << c.what;
        EXPECT_TRUE(got.why && got.why[0]) << c.what;
    }
}

TEST(ConsoleHost, OnlyTheThreeNamesAreTaken)
{
    EXPECT_STREQ(console_host_parse("classic"), "classic");
    EXPECT_STREQ(console_host_parse("vt"), "vt");
    EXPECT_STREQ(console_host_parse("text"), "text");
    EXPECT_EQ(console_host_parse("VT"), nullptr);
    EXPECT_EQ(console_host_parse(""), nullptr);
    EXPECT_EQ(console_host_parse(nullptr), nullptr);
}

}  // namespace
