// Allocation failures inside the plug-in: no exception may reach the host, the
// call answers PLAY_ERR_UNKNOWN and bindings and ports stay as they were, and
// no file is left open. Records need no memory.
// Natively the program's own operator new fails on request; on Windows the
// shipped DLL's own imports of the C runtime's allocation functions do, and
// its C++ runtime throws and unwinds as it would for a host.

#include "support/allocation_sweep.h"
#include "support/player_fixture.h"

#ifdef _WIN32
#include "support/process_figures.h"

#include <windows.h>
#else
#include <cerrno>
#endif

namespace {

using allocation_faults::inProcess;

int64_t FilesOpenHere()
{
#ifdef _WIN32
    return OpenFiles(GetCurrentProcessId());
#else
    return test_files::OpenFiles();
#endif
}

// The system error code a host reads after a call, and the one of no memory.
#ifdef _WIN32
int LastError()
{
    return static_cast<int>(GetLastError());
}
void ForgetLastError()
{
    SetLastError(0);
}
constexpr int kNoMemory = ERROR_NOT_ENOUGH_MEMORY;
#else
int LastError()
{
    return errno;
}
void ForgetLastError()
{
    errno = 0;
}
constexpr int kNoMemory = ENOMEM;
#endif

const AllocationSweep sweep{inProcess, FilesOpenHere, kOnlyOneFails};

using AllocationFailureTest = PlayerTest;

TEST_F(AllocationFailureTest, BindingIsMadeWholeOrNotAtAll)
{
    InitWithDebugLevel(0);
    ASSERT_EQ(PLAY_OK, Bind(20));
    const int failures = sweep.FailEachAllocationOf([&] { return Bind(21); }, PLAY_OK, [] {});
    EXPECT_GE(failures, 1) << "binding a port allocates";
    EXPECT_EQ(1, ChannelOpenedFor(21)) << "failed attempts must not have used up a channel";
    ASSERT_EQ(PLAY_OK, Bind(22));
    EXPECT_EQ(2, ChannelOpenedFor(22));
}

// Every slot, at debug level 2 so that each writes its records, on a bound and
// started port: only Play_Init and the binding of a port allocate; any other
// slot answers as usual whichever allocation would fail.
TEST_F(AllocationFailureTest, EverySlotAnswersAsUsualOrUnknownWithNothingChanged)
{
    InitWithDebugLevel(2);
    StartPort(6);
    ShxStandin_Script(SHX_INPUT_DATA, -2, 1);  // input meets a refusal and its record, then the data is taken
    const std::vector<NamedCall> slots = EverySlot(player, 6, 8, kData, sizeof kData);
    std::vector<std::string> allocating;
    for (const auto& [name, call] : slots) {
        SCOPED_TRACE(name);
        const std::vector<int32_t> before = PlayerState(player, 6, 8);
        if (sweep.FailEachAllocationOf(call, PLAY_OK, [&] { EXPECT_EQ(before, PlayerState(player, 6, 8)); }) > 0)
            allocating.push_back(name);
    }
    EXPECT_EQ(26u, slots.size());
    EXPECT_EQ((std::vector<std::string>{"Play_Init", "Play_SetOpenMode"}), allocating);
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
    const AllocationSweep eachAlone{inProcess, FilesOpenHere, true};
    const int failures = eachAlone.FailEachAllocationOf(
        [&] {
            ShxStandin_Script(SHX_INIT, -1, 1);
            const int32_t result = player->Play_Init(0);
            const int stillToFail = inProcess.allocationsBeforeFailure;  // the checks must not meet the failure
            inProcess.allocationsBeforeFailure = -1;
            if (result == PLAY_OK) {
                ++answeredZero;
                bothLogsInPlace();
            }
            inProcess.allocationsBeforeFailure = stillToFail;
            return result;
        },
        PLAY_OK, [] {});
    EXPECT_GE(failures, 2) << "setting the two log paths allocates";
    EXPECT_GE(answeredZero, 1) << "a lost error record still gives 0";
}

TEST(AllocationFailure, CreateAnswersNullWithItsReasonAndTriesAgainLater)
{
    inProcess.onlyOneFails = kOnlyOneFails;
    inProcess.allocationsBeforeFailure = 0;
    ForgetLastError();
    IPlayer* player = CreateSinglePlayerDll();
    const int reason = LastError();
    inProcess.allocationsBeforeFailure = -1;
    EXPECT_EQ(nullptr, player);
    EXPECT_EQ(kNoMemory, reason) << "the system error code a host reads";
    player = CreateSinglePlayerDll();
    ASSERT_NE(nullptr, player);
    ReleaseSinglePlayerDll(player);
}

}  // namespace
