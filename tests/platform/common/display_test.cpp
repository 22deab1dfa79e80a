// display_test.cpp -- the display table chosen by name, and the one key queue every backend fills
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/display.h"

namespace {

TEST(DisplayTable, EachNameSelectsItsRowAndNothingElseSelects)
{
    std::set<std::string> names;
    int rows = 0;
    for (; display_table[rows]; rows++) {
        const DisplayDriver* d = display_table[rows];
        EXPECT_TRUE(names.insert(d->name).second) << "two rows named " << d->name;
        ASSERT_TRUE(display_select(d->name, nullptr));
        EXPECT_EQ(display_current(), d);
    }
    EXPECT_GE(rows, 2);
    EXPECT_EQ(names.count("null"), 1u);   // memory only is in every build

    // An unknown name changes nothing; no name is the platform's own screen, the first row.
    ASSERT_TRUE(display_select("null", nullptr));
    EXPECT_FALSE(display_select("no such display", nullptr));
    EXPECT_FALSE(display_select("", nullptr));
    EXPECT_EQ(display_current(), &display_null_driver);
    ASSERT_TRUE(display_select(nullptr, nullptr));
    EXPECT_EQ(display_current(), display_table[0]);
    EXPECT_TRUE(display_current()->live);
    display_use(nullptr);
    EXPECT_EQ(display_current(), &display_null_driver);
}

std::vector<int> drain(void)
{
    std::vector<int> got;
    while (display_key_waiting())
        got.push_back(display_read_key());
    return got;
}

TEST(DisplayKeys, OneQueueInOrderDroppingTheNewestWhenFull)
{
    display_use(nullptr);
    display_null_reset();
    const int arrow[2] = {KEY_PREFIX, KEY_LEFT};
    EXPECT_TRUE(display_push_key('a'));
    EXPECT_TRUE(display_push_keys(arrow, 2));
    EXPECT_TRUE(display_push_key(KEY_QUIT + 15));
    EXPECT_EQ(drain(), (std::vector<int>{'a', KEY_PREFIX, KEY_LEFT, KEY_QUIT + 15}));
    EXPECT_EQ(display_read_key(), -1);
    EXPECT_EQ(display_wait_key(), -1);   // nobody can type into memory: no wait

    // Round the ring: the queue wraps, keeps the oldest and takes an arrow whole or not at all.
    for (int i = 0; i < DISPLAY_KEY_QUEUE - 1; i++)
        EXPECT_TRUE(display_push_key(i));
    EXPECT_FALSE(display_push_keys(arrow, 2));
    EXPECT_TRUE(display_push_key(-7));
    EXPECT_FALSE(display_push_key(1000));
    std::vector<int> got = drain();
    ASSERT_EQ(got.size(), (size_t)DISPLAY_KEY_QUEUE);
    EXPECT_EQ(got.front(), 0);
    EXPECT_EQ(got[DISPLAY_KEY_QUEUE - 2], DISPLAY_KEY_QUEUE - 2);
    EXPECT_EQ(got.back(), -7);

    display_push_key('x');
    display_null_reset();
    EXPECT_FALSE(display_key_waiting());
}

}  // namespace
