// file_test.cpp -- input files: FIFOs, directories and missing names are refused at once, by every loader
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

#include "console/console.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "gml/gml.h"
#include "platform/file.h"
#include "timeline/timeline.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own per test, holding a FIFO (nobody ever writes to it) and a directory under the
// names the loaders are given.
struct Traps : ::testing::Test {
    fs::path dir;
    void SetUp() override
    {
        alarm(60);  // a loader that blocks in its open would otherwise hang the run
        dir = fs::temp_directory_path() / ("kerv16_file_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        alarm(0);
        fs::remove_all(dir);
    }
    std::string fifo(const std::string& leaf)
    {
        std::string p = (dir / leaf).string();
        EXPECT_EQ(mkfifo(p.c_str(), 0600), 0) << p;
        return p;
    }
    std::string folder(const std::string& leaf)
    {
        std::string p = (dir / leaf).string();
        fs::create_directories(p);
        return p;
    }
};

TEST_F(Traps, OnlyRegularFilesOpen)
{
    std::string regular = (dir / "a.bin").string();
    FILE* w = fopen(regular.c_str(), "wb");
    fputs("ab", w);
    fclose(w);
    FILE* f = file_open_data(regular.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), 'a');  // the descriptor reads normally even though it was opened non-blocking
    EXPECT_EQ(fgetc(f), 'b');
    EXPECT_EQ(fgetc(f), EOF);
    fclose(f);

    EXPECT_EQ(file_open_data(fifo("pipe").c_str()), nullptr);
    EXPECT_STREQ(file_problem(), "not a regular file (a FIFO, socket or device)");
    EXPECT_NE(errno, ENOENT);
    EXPECT_EQ(file_open_data(folder("sub").c_str()), nullptr);
    EXPECT_STREQ(file_problem(), "a directory, not a file");
    EXPECT_EQ(file_open_data("/dev/null"), nullptr);
    EXPECT_EQ(file_open_data((dir / "none").string().c_str()), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_STREQ(file_problem(), "no such file");
    EXPECT_EQ(file_open_data(""), nullptr);
    EXPECT_EQ(file_open_data(nullptr), nullptr);
}

// Each loader returns at once, leaves its record empty and prints one line naming the file.
TEST_F(Traps, EveryLoaderNamesAFifoOrADirectory)
{
    for (int as_dir = 0; as_dir < 2; as_dir++) {
        auto trap = [&](const std::string& leaf) { return as_dir ? folder("d_" + leaf) : fifo("f_" + leaf); };
        const char* why = as_dir ? "a directory" : "not a regular file";

        std::string track = trap("x.track");
        SyncTrack t = {};
        testing::internal::CaptureStderr();
        EXPECT_EQ(sync_load_track(track.c_str(), &t), 1);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(t.key_count, 0);
        EXPECT_NE(err.find(track + ": " + why), std::string::npos) << err;

        for (const char* leaf : {"p.tga", "p_4x4.raw"}) {
            std::string pic = trap(leaf);
            Image image;
            testing::internal::CaptureStdout();
            testing::internal::CaptureStderr();
            image_load(pic.c_str(), &image);
            testing::internal::GetCapturedStdout();
            err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(image.pixels, nullptr);
            EXPECT_NE(err.find(pic + ": picture not loaded: " + why), std::string::npos) << err;
        }

        std::string bof = trap("m.bof");
        Mesh m{};
        testing::internal::CaptureStdout();
        mesh_load_animated(bof.c_str(), &m);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(m.vertex_count, 0);
        EXPECT_EQ(m.vertices, nullptr);
        EXPECT_NE(out.find(bof + ": " + why), std::string::npos) << out;

        static GmlGraph graph;
        graph.stroke_count = 5;
        std::string gml = trap("g.gml");
        testing::internal::CaptureStdout();
        gml_load(gml.c_str(), &graph);
        out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(graph.stroke_count, 5);  // untouched, as for a missing file
        EXPECT_EQ(out, "ERROR!!! " + gml + ": " + (as_dir ? "a directory, not a file" : "not a regular file (a FIFO, socket or device)") + "\n");
    }
}

TEST_F(Traps, TablesInPlaceOfFifosStopTheStart)
{
    char here[PATH_MAX];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    fs::create_directories(dir / "data");
    fifo("data/charmap.lut");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    testing::internal::CaptureStderr();
    int loaded = load_cell_tables();
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(chdir(here), 0);
    EXPECT_EQ(loaded, 0);
    EXPECT_NE(err.find("data/charmap.lut: cannot be opened (not a regular file"), std::string::npos) << err;
}

}  // namespace
