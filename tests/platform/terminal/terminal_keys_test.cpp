// terminal_keys_test.cpp -- terminal input decoded to console key codes, whole and split across reads
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/terminal.h"

namespace {

// The keys the decoder has put into the display's queue (the null display reads nothing of its own).
std::vector<int> drain(TerminalKeys*)
{
    display_use(nullptr);
    std::vector<int> got;
    while (display_key_waiting())
        got.push_back(display_read_key());
    return got;
}

struct Case {
    const char* name;
    std::string bytes;
    std::vector<int> keys;
    int raw = 0;   // 1: as a raw terminal sends keys
};

const std::vector<Case> CASES = {
    {"lone escape", "\x1b", {27}},
    {"left, CSI", "\x1b[D", {224, 75}},
    {"left, SS3", "\x1bOD", {224, 75}},
    {"right, CSI", "\x1b[C", {224, 77}},
    {"right, SS3", "\x1bOC", {224, 77}},
    {"keys around an arrow", "a\x1b[Db", {'a', 224, 75, 'b'}},
    {"up and down", "\x1b[A\x1b[B\x1bOA", {224, 72, 224, 80, 224, 72}},
    {"home as xterm, VT220 and rxvt send it", "\x1b[H\x1bOH\x1b[1~\x1b[7~", {224, 71, 224, 71, 224, 71, 224, 71}},
    {"ctrl+home, insert and F6 are no home", "\x1b[1;5H\x1b[2~\x1b[17~\x1b[11~", {}},
    {"space, tab, brackets and backspace as a console gives them", "\t []\x08", {9, 32, '[', ']', 8}},
    {"ctrl+left has parameters", "\x1b[1;5D", {}},
    {"shift+right", "\x1b[1;2C", {}},
    {"device attributes reply", "\x1b[?64;1;2;6;22c", {}},
    {"cursor position reply", "\x1b[12;40R", {}},
    {"colour reply ended by ST", "\x1b]11;rgb:0000/0000/0000\x1b\\", {}},
    {"colour reply ended by BEL", "\x1b]10;rgb:ffff/ffff/ffff\x07x", {'x'}},
    {"DCS reply", "\x1bP1$r0m\x1b\\", {}},
    {"X10 mouse report", "\x1b[M !!q", {'q'}},
    {"two escapes", "\x1b\x1b", {27, 27}},
    {"escape before an arrow", "\x1b\x1b[C", {27, 224, 77}},
    {"alt+x is dropped", "\x1bxy", {'y'}},
    {"escape then enter", "\x1b\r", {27, 13}},
    {"escape cancels an unfinished sequence", "\x1b[12\x1b", {27}},
    {"function key", "\x1b[15~\x1bOP", {}},
    {"plain bytes pass through, DEL as Backspace", std::string("q\r\x7f\xe0", 4), {'q', 13, 8, 224}},
    // Raw: only an Escape with nothing after it is Escape; with a key after it, it is Alt with the key.
    {"raw: lone escape", "\x1b", {27}, 1},
    {"raw: alt+enter and alt+ctrl+a", "\x1b\r\x1b\x01", {}, 1},
    {"raw: alt+escape is no escape, a lone one after it is", "\x1b\x1b", {27}, 1},
    {"raw: alt+escape then a sequence", "\x1b\x1b[1;3D\x1b\x1bOP", {}, 1},
    {"raw: escape cancels a sequence and stands alone", "\x1b[12\x1b", {27}, 1},
};

TEST(TerminalKeys, SequencesWholeAndSplitAtEveryByte)
{
    for (const Case& c : CASES) {
        for (size_t split = 0; split < c.bytes.size(); split++) {
            SCOPED_TRACE(std::string(c.name) + " split at " + std::to_string(split));
            TerminalKeys keys;
            terminal_keys_init(&keys);
            keys.raw = c.raw;
            display_clear_keys();
            uint32_t t = 1000;
            const uint8_t* b = (const uint8_t*)c.bytes.data();
            // The second read comes 20 ms later, as a slow link would deliver it.
            terminal_keys_feed(&keys, b, split, t);
            terminal_keys_tick(&keys, t);
            terminal_keys_feed(&keys, b + split, c.bytes.size() - split, t + 20);
            terminal_keys_tick(&keys, t + 20);
            terminal_keys_tick(&keys, t + 60);
            EXPECT_EQ(drain(&keys), c.keys);
            EXPECT_FALSE(terminal_keys_pending_escape(&keys));
        }
    }
}

TEST(TerminalKeys, LoneEscapeWaitsThirtyMilliseconds)
{
    TerminalKeys keys;
    terminal_keys_init(&keys);
    terminal_keys_feed(&keys, (const uint8_t*)"\x1b", 1, 100);
    terminal_keys_tick(&keys, 100);
    terminal_keys_tick(&keys, 129);
    EXPECT_FALSE(display_key_waiting());
    EXPECT_TRUE(terminal_keys_pending_escape(&keys));
    EXPECT_EQ(display_read_key(), -1);
    terminal_keys_tick(&keys, 130);
    EXPECT_EQ(drain(&keys), std::vector<int>({27}));

    // Across the wrap of the millisecond counter.
    terminal_keys_feed(&keys, (const uint8_t*)"\x1b", 1, 0xFFFFFFF0u);
    terminal_keys_tick(&keys, 0x0Cu);
    EXPECT_FALSE(display_key_waiting());
    terminal_keys_tick(&keys, 0x0Eu);
    EXPECT_EQ(drain(&keys), std::vector<int>({27}));
}

// Nothing holds the keys up for ever: an Escape read late stood alone, and a sequence that never
// ends gives way after its length or its time, so a later Escape still reads as Escape.
TEST(TerminalKeys, LateReadsAndSequencesThatNeverEnd)
{
    TerminalKeys keys;
    terminal_keys_init(&keys);
    keys.raw = 1;
    display_clear_keys();
    auto feed = [&](const std::string& b, uint32_t t) { terminal_keys_feed(&keys, (const uint8_t*)b.data(), b.size(), t); };
    feed("\x1b", 100);
    feed("x", 100 + TERMINAL_ESCAPE_MS);   // no tick between: the Escape was ripe when x came
    EXPECT_EQ(drain(&keys), std::vector<int>({27, 'x'}));

    for (std::string start : {"\x1b[12;", "\x1b]0;a title never ended", "\x1b[M!", "\x1bP1$r\x1b"}) {
        SCOPED_TRACE(start);
        feed(start, 1000);
        terminal_keys_tick(&keys, 1000 + TERMINAL_SEQUENCE_MS);
        drain(&keys);
        feed("\x1b", 5000);
        terminal_keys_tick(&keys, 5000 + TERMINAL_ESCAPE_MS);
        EXPECT_EQ(drain(&keys), std::vector<int>({27}));
    }

    std::string endless = "\x1b[" + std::string(TERMINAL_SEQUENCE_MAX, '1') + "\x1b";
    feed(endless, 9000);
    terminal_keys_tick(&keys, 9000 + TERMINAL_ESCAPE_MS);
    std::vector<int> got = drain(&keys);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), 27);   // past its length the sequence was garbage, not a place to hide in
}

TEST(TerminalKeys, FullQueueKeepsTheOldestKeysAndWholeArrows)
{
    TerminalKeys keys;
    terminal_keys_init(&keys);
    std::string many(DISPLAY_KEY_QUEUE - 1, 'a');
    many += "\x1b[Dzz";
    terminal_keys_feed(&keys, (const uint8_t*)many.data(), many.size(), 0);
    std::vector<int> got = drain(&keys);
    ASSERT_EQ(got.size(), (size_t)DISPLAY_KEY_QUEUE);
    EXPECT_EQ(got.back(), 'z');   // the arrow did not fit as a pair, so neither half went in
    EXPECT_EQ(std::count(got.begin(), got.end(), 224), 0);
}

}  // namespace
