// data_dir.cpp -- where the show finds data/: the working directory, else beside the executable,
// else in the executable's ../share/kerv16 (an installed copy)
#include "demo/demo.h"
#include "platform/msg.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

// ---- types ----

enum { DATA_PATH_MAX = 4096 };

// ---- state ----

// The file arguments made absolute, so that they still name the user's files after the move.
static char viewer_path[DATA_PATH_MAX], capture_path[DATA_PATH_MAX], live_path[DATA_PATH_MAX];

// ---- internal functions ----

static int holds_data(const fs::path& dir)
{
    std::error_code err;
    return fs::is_regular_file(dir / "data" / "charmap.lut", err);
}

// Stores the absolute form of name in out (DATA_PATH_MAX bytes) and points *name at it.
static int anchor(const char** name, char* out)
{
    std::error_code err;
    fs::path whole = fs::absolute(*name, err);
    if (err || whole.string().size() >= DATA_PATH_MAX)
        return 0;
    snprintf(out, DATA_PATH_MAX, "%s", whole.string().c_str());
    *name = out;
    return 1;
}

// ---- public functions ----

int demo_find_data(const char* exe_dir, DemoOptions* opts)
{
    std::error_code err;
    // The live mode's content folder is edited where it is: it must be one, and it is held by its
    // whole name whatever folder the show moves to.
    if (opts->live && (!fs::is_directory(opts->live, err) || !anchor(&opts->live, live_path))) {
        msg_print(stderr, "kerv16: --live: %s is no folder of content (start the show from the repository, or name it)\n",
                  opts->live);
        return 0;
    }
    if (holds_data(fs::current_path(err)) || !exe_dir)
        return 1;
    const fs::path candidates[] = {fs::path(exe_dir), fs::path(exe_dir) / ".." / "share" / "kerv16"};
    for (const fs::path& dir : candidates) {
        if (!holds_data(dir))
            continue;
        if ((opts->viewer_file && !anchor(&opts->viewer_file, viewer_path)) ||
            (opts->settings.video && !anchor(&opts->settings.video, capture_path))) {
            msg_print(stderr, "kerv16: the file arguments are too long to keep while moving to %s\n",
                      dir.string().c_str());
            return 0;
        }
        fs::current_path(dir, err);
        if (err)
            msg_print(stderr, "kerv16: %s: cannot be entered: %s\n", dir.string().c_str(), err.message().c_str());
        return !err;
    }
    msg_print(stderr, "kerv16: no data/ folder in the working directory, in %s or in %s\n",
              candidates[0].string().c_str(), candidates[1].string().c_str());
    return 1;  // the loaders then name the first file they miss
}
