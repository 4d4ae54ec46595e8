// The requests to stop as the platforms' handlers report them: the exit code they leave, a second
// Ctrl+C that ends at once, and a console close that holds on until the result is written (the
// Windows handler; Wine delivers no close event, so its logic is tested here).
#include <gtest/gtest.h>

#include "interrupt_state.h"

namespace {

InterruptState* finishing = nullptr;  // the state the fake sleep finishes
int sleeps = 0;

void CountingSleep(int) {
    if (++sleeps == 3 && finishing != nullptr) {
        finishing->Finish();  // the command writes its result while the handler waits
    }
}

}  // namespace

TEST(InterruptState, TheFirstRequestSetsTheExitCodeAndASecondCtrlCWithin2sEndsAtOnce) {
    InterruptState state;
    EXPECT_FALSE(state.Requested());
    EXPECT_EQ(state.ExitCode(), 130);
    state.Request(143);  // SIGTERM
    EXPECT_FALSE(state.CtrlCEndsNow(10'000));
    EXPECT_EQ(state.ExitCode(), 143);
    EXPECT_FALSE(state.CtrlCEndsNow(12'001));  // more than 2 s later: a first Ctrl+C again
    EXPECT_TRUE(state.CtrlCEndsNow(14'000));
    EXPECT_TRUE(state.Requested());
}

TEST(InterruptState, AConsoleCloseWaitsUntilTheResultIsWrittenOrTheTimeIsUp) {
    InterruptState state;
    finishing = &state;
    sleeps = 0;
    EXPECT_TRUE(state.WaitForFinish(4500, CountingSleep));
    EXPECT_EQ(sleeps, 3);

    InterruptState never;
    finishing = nullptr;
    sleeps = 0;
    EXPECT_FALSE(never.WaitForFinish(4500, CountingSleep));
    EXPECT_EQ(sleeps, 4500 / 50);  // steps of 50 ms up to the limit, then the handler returns
}

TEST(InterruptState, TheWarningIsTheLastOneSetAndCutToItsBuffer) {
    InterruptState state;
    state.SetWarning("first");
    state.SetWarning("a converter may be left in update mode");
    EXPECT_STREQ(state.Warning(), "a converter may be left in update mode");
    state.SetWarning(std::string(1000, 'x'));
    EXPECT_EQ(std::string(state.Warning()).size(), 319u);
}
