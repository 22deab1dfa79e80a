// system_posix.cpp -- the operating system on Linux: where the executable lives, a program run beside the show
#include "platform/system.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// ---- state ----

static pid_t child = -1;  // the program started by sys_spawn, -1 when none runs

// ---- public functions ----

int sys_executable_dir(char* out, size_t capacity)
{
    if (capacity < 2)
        return 0;
    ssize_t n = readlink("/proc/self/exe", out, capacity - 1);
    if (n <= 0 || (size_t)n >= capacity - 1)  // a full buffer may hold a cut name
        return 0;
    out[n] = 0;
    char* slash = strrchr(out, '/');
    if (!slash)
        return 0;
    slash[slash == out] = 0;  // the root keeps its "/"
    return 1;
}

int sys_spawn(const char* const* argv, const char* log_path)
{
    if (child > 0)
        return 0;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return 0;
    // Its input is not the show's keyboard; what it says goes to the log, not over the picture.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid;
    int err = posix_spawn(&pid, argv[0], &actions, nullptr, (char* const*)argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        return 0;
    child = pid;
    return 1;
}

int sys_spawn_done(int* status)
{
    *status = -1;
    if (child <= 0)
        return 1;
    int st;
    pid_t r = waitpid(child, &st, WNOHANG);
    if (r == 0)
        return 0;
    if (r == child && WIFEXITED(st))
        *status = WEXITSTATUS(st);
    child = -1;
    return 1;
}

void sys_spawn_stop(void)
{
    if (child <= 0)
        return;
    // A tool that ignores the request (or is stopped) is killed after half a second: the show
    // never waits on it for longer.
    kill(child, SIGTERM);
    for (int i = 0; i < 50 && waitpid(child, nullptr, WNOHANG) == 0; i++)
        usleep(10000);
    if (waitpid(child, nullptr, WNOHANG) == 0) {
        kill(child, SIGKILL);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    child = -1;
}
