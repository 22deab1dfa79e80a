// data_dir_test.cpp -- where the show looks for data/, and file arguments that keep naming the user's files
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "demo/demo.h"
#include "test_temp.h"

namespace fs = std::filesystem;

namespace {

struct DataDir : ::testing::Test {
    fs::path old_dir, root;
    void SetUp() override
    {
        old_dir = fs::current_path();
        root = fs::path(test_temp_path(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(root / "work");
        fs::create_directories(root / "bin");
        fs::current_path(root / "work");
    }
    void TearDown() override { fs::current_path(old_dir); }
    void give_data(const fs::path& dir)
    {
        fs::create_directories(dir / "data");
        std::ofstream(dir / "data" / "charmap.lut") << "x";
    }
};

TEST_F(DataDir, TheWorkingDirectoryComesFirst)
{
    give_data(root / "work");
    give_data(root / "bin");
    DemoOptions o;
    demo_default_options(&o);
    o.viewer_file = "p.tga";
    EXPECT_EQ(demo_find_data((root / "bin").c_str(), &o), 1);
    EXPECT_EQ(fs::current_path(), root / "work");
    EXPECT_STREQ(o.viewer_file, "p.tga");  // untouched while nothing moves
}

TEST_F(DataDir, BesideTheExecutableThenItsShareFolder)
{
    give_data(root / "share" / "kerv16");
    DemoOptions o;
    demo_default_options(&o);
    o.viewer_file = "pics/p.tga";
    o.settings.video = "out.mp4";
    EXPECT_EQ(demo_find_data((root / "bin").c_str(), &o), 1);
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(root / "share" / "kerv16"));
    EXPECT_EQ(fs::path(o.viewer_file), root / "work" / "pics" / "p.tga");
    EXPECT_EQ(fs::path(o.settings.video), root / "work" / "out.mp4");

    // Data beside the executable wins over the share folder; an absolute argument stays as it is.
    fs::current_path(root / "work");
    give_data(root / "bin");
    demo_default_options(&o);
    o.viewer_file = "/abs/p.gml";
    EXPECT_EQ(demo_find_data((root / "bin").c_str(), &o), 1);
    EXPECT_EQ(fs::current_path(), root / "bin");
    EXPECT_STREQ(o.viewer_file, "/abs/p.gml");
}

TEST_F(DataDir, NowhereIsReportedAndNothingMoves)
{
    DemoOptions o;
    demo_default_options(&o);
    testing::internal::CaptureStderr();
    EXPECT_EQ(demo_find_data((root / "bin").c_str(), &o), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no data/ folder"), std::string::npos) << err;
    EXPECT_NE(err.find((root / "bin").string()), std::string::npos) << err;
    EXPECT_EQ(fs::current_path(), root / "work");
    EXPECT_EQ(demo_find_data(nullptr, &o), 1);  // no executable folder known: stays
}

}  // namespace
