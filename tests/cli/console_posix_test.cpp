// The console seam on POSIX: SIGINT no longer ends the program once watched, it sets the flag.
#include <gtest/gtest.h>

#include <signal.h>

#include "console_seam.h"

namespace {

TEST(ConsolePosix, InterruptSetsTheFlagInsteadOfEndingTheProgram) {
    WatchInterrupt();
    EXPECT_FALSE(Interrupted());
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_TRUE(Interrupted());  // and the program is still here
}

}  // namespace
