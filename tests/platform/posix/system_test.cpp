// system_test.cpp -- the program run beside the show is ended on request, even one that ignores it
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

#include "platform/system.h"

TEST(SysSpawn, StopEndsAProgramThatIgnoresTheRequestWithinASecond)
{
    char log[] = "/tmp/kerv16-spawn-XXXXXX";
    int fd = mkstemp(log);
    ASSERT_GE(fd, 0);
    const char* argv[] = {"/bin/sh", "-c", "trap '' TERM; echo started; sleep 20", nullptr};
    ASSERT_EQ(sys_spawn(argv, log), 1);
    int status = 0;
    timespec nap = {0, 20000000};
    for (int i = 0; i < 100 && sys_spawn_done(&status) == 0; i++) {   // until the trap is set
        FILE* f = fopen(log, "r");
        char line[16] = "";
        if (f && fgets(line, sizeof line, f) && line[0] == 's') {
            fclose(f);
            break;
        }
        if (f)
            fclose(f);
        nanosleep(&nap, nullptr);
    }
    timespec a, b;
    clock_gettime(CLOCK_MONOTONIC, &a);
    sys_spawn_stop();
    clock_gettime(CLOCK_MONOTONIC, &b);
    EXPECT_LT(b.tv_sec - a.tv_sec, 5);   // a hang guard: it would otherwise wait out the 20 s
    EXPECT_EQ(sys_spawn_done(&status), 1);
    EXPECT_EQ(status, -1);               // none running any more
    close(fd);
    remove(log);
}
