// Allocation failures inside the plug-in: no exception may reach the host, the
// call answers PLAY_ERR_UNKNOWN and bindings and ports stay as they were, and
// no file is left open.
// The program's own operator new fails on request.

#include "support/counting_new.h"
#include "support/player_fixture.h"

using counting_new::allocationsBeforeFailure;
using counting_new::failuresMet;
using counting_new::onlyOneFails;

namespace {

using test_files::OpenFiles;

// Calls `call` with the first, second, ... allocation failing until it gets
// through; from the failing one on, or that one alone. A failed allocation
// either costs only a log record, and the call answers as usual, or makes it
// answer PLAY_ERR_UNKNOWN with nothing changed; no file stays open either way.
// Returns how many attempts met a failure.
template <typename Call, typename Check>
int FailEachAllocationOf(Call call, int32_t usualResult, Check checkUnchanged, bool onlyOne = false)
{
    const std::ptrdiff_t openBefore = OpenFiles();
    for (int failAt = 0;; ++failAt) {
        allocationsBeforeFailure = failAt;
        onlyOneFails = onlyOne;
        failuresMet = 0;
        const int32_t result = call();
        const bool failed = failuresMet > 0;
        allocationsBeforeFailure = -1;
        EXPECT_EQ(openBefore, OpenFiles()) << "files left open with allocation " << failAt << " failing";
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

// Init writes an error record for the failing vendor library. Whichever single
// allocation fails, Init either answers PLAY_ERR_UNKNOWN or has pointed both
// logs at the configured directory.
TEST_F(AllocationFailureTest, InitAnswersZeroOnlyWithBothLogsInPlace)
{
    WriteText(ConfigFilePath(), "[GLOBAL]\n[TRACE_PATH] [" + kTraceDirectory + "]\n[DEBUG_LEVEL] [1]\n");
    const auto bothLogsInPlace = [&] {
        ForgetJournalAndLogs();
        EXPECT_EQ(PLAY_ERR_PARAM, Bind(-1));
        EXPECT_EQ(1u, Entries().size()) << "runtime log in place";
        EXPECT_EQ(1u, Errors().size()) << "error log in place";
    };
    int answeredZero = 0;
    const int failures = FailEachAllocationOf(
        [&] {
            ShxStandin_Script(SHX_INIT, -1, 1);
            const int32_t result = player->Play_Init(0);
            const int stillToFail = allocationsBeforeFailure;  // the checks must not meet the failure
            allocationsBeforeFailure = -1;
            if (result == PLAY_OK) {
                ++answeredZero;
                bothLogsInPlace();
            }
            allocationsBeforeFailure = stillToFail;
            return result;
        },
        PLAY_OK, [] {}, true);
    EXPECT_GE(failures, 2) << "setting the two log paths allocates";
    EXPECT_GE(answeredZero, 1) << "a lost error record still gives 0";
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
