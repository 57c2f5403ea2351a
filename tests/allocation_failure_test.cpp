// Allocation failures inside the plug-in: no exception may reach the host, the
// call answers PLAY_ERR_UNKNOWN and bindings and ports stay as they were.
// The program's own operator new fails on request.

#include "support/counting_new.h"
#include "support/player_fixture.h"

using counting_new::allocationsBeforeFailure;

namespace {

// Calls `call` with the first, second, ... allocation failing until it gets
// through. A failed allocation either costs only a log record, and the call
// answers as usual, or makes it answer PLAY_ERR_UNKNOWN with nothing changed.
// Returns how many attempts met a failure.
template <typename Call, typename Check>
int FailEachAllocationOf(Call call, int32_t usualResult, Check checkUnchanged)
{
    for (int failAt = 0;; ++failAt) {
        allocationsBeforeFailure = failAt;
        const int32_t result = call();
        const bool failed = allocationsBeforeFailure == 0;
        allocationsBeforeFailure = -1;
        if (!failed) {
            EXPECT_EQ(usualResult, result);
            return failAt;
        }
        if (result == usualResult) continue;
        EXPECT_EQ(PLAY_ERR_UNKNOWN, result) << "allocation " << failAt << " failing";
        checkUnchanged();
    }
}

using AllocationFailureTest = PlayerTest;

TEST_F(AllocationFailureTest, BindingIsMadeWholeOrNotAtAll)
{
    InitWithDebugLevel(0);
    ASSERT_EQ(PLAY_OK, Bind(20));
    const int failures = FailEachAllocationOf([&] { return Bind(21); }, PLAY_OK, [] {});
    EXPECT_GE(failures, 1) << "binding a port allocates";
    EXPECT_EQ(1, ChannelOpenedFor(21)) << "failed attempts must not have used up a channel";
    ASSERT_EQ(PLAY_OK, Bind(22));
    EXPECT_EQ(2, ChannelOpenedFor(22));
}

TEST_F(AllocationFailureTest, FailedOpenLeavesThePortClosed)
{
    InitWithDebugLevel(2);
    ASSERT_EQ(PLAY_OK, Bind(6));
    const int failures = FailEachAllocationOf(
        [&] {
            ShxStandin_Script(SHX_OPEN_STREAM, -2, 1);
            return Open(6);
        },
        PLAY_ERR_BUFFER, [&] { EXPECT_EQ(0, StateOf(6)); });
    EXPECT_GE(failures, 1);
    ShxStandin_Reset();
    EXPECT_EQ(PLAY_OK, Open(6));
    EXPECT_EQ(1, StateOf(6));
}

TEST_F(AllocationFailureTest, LostRefusalRecordsDoNotStopInput)
{
    InitWithDebugLevel(2);
    ASSERT_EQ(PLAY_OK, Bind(6));
    ASSERT_EQ(PLAY_OK, Open(6));
    ShxStandin_Script(SHX_INPUT_DATA, -2, 1);
    allocationsBeforeFailure = 0;
    const int32_t result = Input(6);
    allocationsBeforeFailure = -1;
    EXPECT_EQ(PLAY_OK, result);
    EXPECT_EQ(2u, CallTimes(SHX_INPUT_DATA).size()) << "the refused data is still tried again";
}

TEST(AllocationFailure, CreateAnswersNullAndTriesAgainLater)
{
    allocationsBeforeFailure = 0;
    IPlayer* player = CreateSinglePlayerDll();
    allocationsBeforeFailure = -1;
    EXPECT_EQ(nullptr, player);
    player = CreateSinglePlayerDll();
    ASSERT_NE(nullptr, player);
    ReleaseSinglePlayerDll(player);
}

}  // namespace
