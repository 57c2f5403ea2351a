// Allocation failures inside the plug-in: no exception may reach the host, the
// call answers PLAY_ERR_UNKNOWN and bindings and ports stay as they were, and
// no file is left open. Records need no memory.
// The program's own operator new fails on request.

#include "support/counting_new.h"
#include "support/player_fixture.h"

#include <cerrno>
#include <functional>

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

// Every slot, at debug level 2 so that each writes its records, on a bound and
// started port: only Play_Init and the binding of a port allocate; any other
// slot answers as usual whichever allocation would fail.
TEST_F(AllocationFailureTest, EverySlotAnswersAsUsualOrUnknownWithNothingChanged)
{
    InitWithDebugLevel(2);
    StartPort(6);
    ShxStandin_Script(SHX_INPUT_DATA, -2, 1);  // input meets a refusal and its record, then the data is taken
    int32_t a = 0, b = 0, block[6] = {};
    uint32_t key = 0;
    const std::vector<std::pair<const char*, std::function<int32_t()>>> slots = {
        {"Play_Init", [&] { return player->Play_Init(0); }},
        {"Play_Uninit", [&] { return player->Play_Uninit(); }},
        {"Play_SetOverlayMode", [&] { return player->Play_SetOverlayMode(6, 5); }},
        {"Play_GetPreviewMode", [&] { return player->Play_GetPreviewMode(6, &a, &key); }},
        {"Play_SetOpenMode", [&] { return Bind(8); }},
        {"Play_OpenStream", [&] { return Open(6); }},
        {"Play_InputData", [&] { return Input(6); }},
        {"Play_PlayState", [&] { return player->Play_PlayState(6, 3); }},
        {"Play_GetPlayState", [&] { return player->Play_GetPlayState(6, &a); }},
        {"Play_SetVolume", [&] { return player->Play_SetVolume(6, 30); }},
        {"Play_GetVolume", [&] { return player->Play_GetVolume(6, &a); }},
        {"Play_GetPicture", [&] { return player->Play_GetPicture(6, 0); }},
        {"Play_RefreshPlay", [&] { return player->Play_RefreshPlay(6); }},
        {"Play_GetHeadLen", [&] { return player->Play_GetHeadLen(&a); }},
        {"Play_GetPictureSize", [&] { return player->Play_GetPictureSize(6, &a, &b); }},
        {"Play_Reserved16", [&] { return player->Play_Reserved16(1, 2); }},
        {"Play_GetPicQuality", [&] { return player->Play_GetPicQuality(6, &a); }},
        {"Play_Reserved18", [&] { return player->Play_Reserved18(1, 2); }},
        {"Play_GetThrowNum", [&] { return player->Play_GetThrowNum(6, &a); }},
        {"Play_Reserved20", [&] { return player->Play_Reserved20(1, 2, 3); }},
        {"Play_SetVideoPara", [&] { return player->Play_SetVideoPara(6, block); }},
        {"Play_Reserved22", [&] { return player->Play_Reserved22(1, 2, 3); }},
        {"Play_SetDispRegion", [&] { return player->Play_SetDispRegion(6, block); }},
        {"Play_Reserved24", [&] { return player->Play_Reserved24(1); }},
        {"Play_Reserved25", [&] { return player->Play_Reserved25(1, 2); }},
        {"Play_CloseStream", [&] { return player->Play_CloseStream(6); }},
    };
    const auto state = [&] {
        int32_t volume = -1;
        player->Play_GetVolume(0, &volume);
        return std::vector<int32_t>{StateOf(6), volume, player->Play_RefreshPlay(8)};
    };
    std::vector<std::string> allocating;
    for (const auto& [name, call] : slots) {
        SCOPED_TRACE(name);
        const std::vector<int32_t> before = state();
        if (FailEachAllocationOf(call, PLAY_OK, [&] { EXPECT_EQ(before, state()); }) > 0) allocating.push_back(name);
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

TEST(AllocationFailure, CreateAnswersNullWithItsReasonAndTriesAgainLater)
{
    allocationsBeforeFailure = 0;
    errno = 0;
    IPlayer* player = CreateSinglePlayerDll();
    const int reason = errno;
    allocationsBeforeFailure = -1;
    EXPECT_EQ(nullptr, player);
    EXPECT_EQ(ENOMEM, reason) << "the system error code a host reads";
    player = CreateSinglePlayerDll();
    ASSERT_NE(nullptr, player);
    ReleaseSinglePlayerDll(player);
}

}  // namespace
