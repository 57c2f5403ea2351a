// Binding, opening, feeding and closing streams, and the play states, as the
// vendor library sees them.

#include "support/player_fixture.h"
#include "trace/log_texts.h"

namespace {

void* const kWindow = reinterpret_cast<void*>(0x1234);

VendorCall OpenCall(int64_t channel) { return {SHX_OPEN_STREAM, {channel, 352, 288, 0, 0}}; }
VendorCall SetWndCall(int64_t channel, void* window)
{
    return {SHX_SET_WND, {channel, static_cast<int64_t>(reinterpret_cast<uintptr_t>(window)), 0}};
}
VendorCall StartCall(int64_t channel) { return {SHX_START, {channel}}; }
VendorCall StopCall(int64_t channel) { return {SHX_STOP, {channel}}; }
VendorCall InputCall(int64_t channel, const uint8_t* data, int64_t size, int64_t kind)
{
    return {SHX_INPUT_DATA, {channel, static_cast<int64_t>(reinterpret_cast<uintptr_t>(data)), size, kind, 0, -1, -1}};
}

class StreamTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        InitWithDebugLevel(0);
    }
};

TEST_F(StreamTest, PortsTakeTheLowestFreeChannelInBindingOrder)
{
    ASSERT_EQ(PLAY_OK, Bind(127));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(3, -5));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(127, 9)) << "binding again changes nothing";
    EXPECT_EQ(0, ChannelOpenedFor(127));
    EXPECT_EQ(1, ChannelOpenedFor(3));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StreamTest, ThirtyTwoPortsCanBeBoundForThePlayersLife)
{
    for (int32_t port = 0; port < 32; ++port) ASSERT_EQ(PLAY_OK, Bind(port * 2));
    EXPECT_EQ(PLAY_ERR_PARAM, Bind(1));
    EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kIllegalInput, "Play_SetOpenMode()")}, Errors());
    EXPECT_EQ(PLAY_OK, Bind(62)) << "a bound port stays bound";
    EXPECT_EQ(31, ChannelOpenedFor(62));
    EXPECT_EQ(PLAY_ERR_PARAM, Open(1));
    player->Play_Uninit();
    EXPECT_EQ(5, ChannelOpenedFor(10)) << "bindings outlive close and uninit";
}

TEST_F(StreamTest, OpenBindsTheWindowAndStartsAtFixedSize)
{
    ASSERT_EQ(PLAY_OK, Bind(5));
    int32_t buffer = 0;
    EXPECT_EQ(PLAY_OK, player->Play_OpenStream(kWindow, 5, &buffer, 1, 0x7777));
    EXPECT_EQ((std::vector<VendorCall>{OpenCall(0), SetWndCall(0, kWindow), StartCall(0)}), Journal());
    EXPECT_EQ(1, StateOf(5));

    ASSERT_EQ(PLAY_OK, Bind(6));
    ShxStandin_Reset();
    EXPECT_EQ(PLAY_OK, Open(6, nullptr));
    EXPECT_EQ(SetWndCall(1, nullptr), Journal().at(1)) << "a null window is handed over unchanged";
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StreamTest, OpenRefusesMissingBufferWithoutTouchingThePort)
{
    StartPort(5);
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_OpenStream(kWindow, 5, nullptr, 4, 0));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_OpenStream(kWindow, 5, kData, 0, 0));
    EXPECT_EQ((std::vector<ErrorRecord>{Error(0, texts::kBadArgument), Error(0, texts::kBadArgument)}), Errors());
    EXPECT_TRUE(Journal().empty());
    EXPECT_EQ(1, StateOf(5));
}

TEST_F(StreamTest, FailedVendorStepStopsTheOpenWithoutUndo)
{
    ASSERT_EQ(PLAY_OK, Bind(5));
    ShxStandin_Script(SHX_OPEN_STREAM, -2001, 1);
    EXPECT_EQ(PLAY_ERR_MAX_STREAMS, Open(5));
    EXPECT_EQ(std::vector<VendorCall>{OpenCall(0)}, Journal());
    EXPECT_EQ(std::vector<ErrorRecord>{Error(-2001, texts::kTooManyStreams, "SHX_PlayStrm_OpenStream()")}, Errors());

    ForgetJournalAndLogs();
    ShxStandin_Script(SHX_START, 9, 1);
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Open(5, kWindow));
    EXPECT_EQ((std::vector<VendorCall>{OpenCall(0), SetWndCall(0, kWindow), StartCall(0)}), Journal());
    EXPECT_EQ(std::vector<ErrorRecord>{Error(9, texts::kUnknownError, "SHX_PlayStrm_Start()")}, Errors());
    EXPECT_EQ(0, StateOf(5));

    ForgetJournalAndLogs();
    ShxStandin_Script(SHX_SET_WND, -2, 1);
    EXPECT_EQ(PLAY_ERR_BUFFER, Open(5, kWindow));
    EXPECT_EQ((std::vector<VendorCall>{OpenCall(0), SetWndCall(0, kWindow)}), Journal());
    EXPECT_EQ(std::vector<ErrorRecord>{Error(-2, texts::kBufferOverflow, "SHX_PlayStrm_SetWnd()")}, Errors());
}

TEST_F(StreamTest, OpeningAPlayingPortClosesItFirst)
{
    InitWithDebugLevel(1);
    StartPort(5);
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(5, 4));
    ForgetJournalAndLogs();
    EXPECT_EQ(PLAY_OK, Open(5, kWindow));
    EXPECT_EQ((std::vector<VendorCall>{StopCall(0), OpenCall(0), SetWndCall(0, kWindow), StartCall(0)}), Journal());
    EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kMustStopFirst)}, Errors());
    EXPECT_EQ((std::vector<EntryRecord>{{texts::kOpenStream, "Play_OpenStream"}, {texts::kCloseStream, "Play_CloseStream"}}),
              Entries());
    EXPECT_EQ(1, StateOf(5));
}

TEST_F(StreamTest, ReopenStopsWhenTheCloseFails)
{
    StartPort(5);
    ShxStandin_Script(SHX_STOP, -2, 1);
    EXPECT_EQ(PLAY_ERR_BUFFER, Open(5));
    EXPECT_EQ((std::vector<ErrorRecord>{Error(0, texts::kMustStopFirst),
                                        Error(-2, texts::kBufferOverflow, "SHX_PlayStrm_Stop()"),
                                        Error(PLAY_ERR_BUFFER, "Play_CloseStream() error")}),
              Errors());
    EXPECT_EQ(std::vector<VendorCall>{StopCall(0)}, Journal());
    EXPECT_EQ(1, StateOf(5));
}

TEST_F(StreamTest, ReopenWithEveryChannelBoundLeavesThePortStopped)
{
    StartPort(5);
    for (int32_t port = 64; port < 95; ++port) ASSERT_EQ(PLAY_OK, Bind(port));
    EXPECT_EQ(PLAY_ERR_PARAM, Open(5));
    EXPECT_EQ((std::vector<ErrorRecord>{Error(0, texts::kMustStopFirst), Error(0, texts::kIllegalInput, "SetPlayPort()")}),
              Errors());
    EXPECT_EQ(std::vector<VendorCall>{StopCall(0)}, Journal());
    EXPECT_EQ(0, StateOf(5));
}

TEST_F(StreamTest, ReopeningAPlayingPortKeepsItsOneChannel)
{
    StartPort(5);
    for (int reopen = 1; reopen <= 3; ++reopen) ASSERT_EQ(PLAY_OK, Open(5)) << "reopen " << reopen;
    for (int32_t port = 64; port < 95; ++port) ASSERT_EQ(PLAY_OK, Bind(port)) << "31 channels are still free";
}

TEST_F(StreamTest, CloseStopsTheStreamAndKeepsTheChannel)
{
    ASSERT_EQ(PLAY_OK, Bind(8));
    EXPECT_EQ(PLAY_ERR_NOT_OPEN, player->Play_CloseStream(8)) << "never opened";
    ASSERT_EQ(PLAY_OK, Open(8));
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(8, 9));
    EXPECT_EQ(PLAY_OK, player->Play_CloseStream(8)) << "step mode closes like any started state";
    EXPECT_EQ(PLAY_ERR_NOT_OPEN, player->Play_CloseStream(8)) << "closed twice";
    EXPECT_EQ((std::vector<ErrorRecord>{Error(0, texts::kCannotStopUnstarted), Error(0, texts::kCannotStopUnstarted)}),
              Errors());
    EXPECT_EQ(StopCall(0), Journal().back());
    EXPECT_EQ(0, StateOf(8));
    EXPECT_EQ(PLAY_ERR_NOT_OPEN, Input(8));
    EXPECT_EQ(0, ChannelOpenedFor(8)) << "opened again on its channel without a new open mode";
}

TEST_F(StreamTest, FailedStopKeepsThePortPlaying)
{
    StartPort(8);
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(8, 3));
    ShxStandin_Script(SHX_STOP, -1, 1);
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_CloseStream(8));
    EXPECT_EQ(std::vector<ErrorRecord>{Error(-1, texts::kIllegalInput, "SHX_PlayStrm_Stop()")}, Errors());
    EXPECT_EQ(3, StateOf(8));
}

TEST_F(StreamTest, InputRebindsTheWindowOnEveryFifthCall)
{
    StartPort(2, kWindow);
    for (int call = 1; call <= 10; ++call) {
        ASSERT_EQ(PLAY_OK, Input(2));
        if (call == 3) {
            EXPECT_EQ(PLAY_ERR_PARAM, player->Play_InputData(2, nullptr, 4, 0));
            EXPECT_EQ(PLAY_ERR_PARAM, player->Play_InputData(2, kData, 0, 0));
        }
    }
    std::vector<VendorCall> expected;
    for (int call = 1; call <= 10; ++call) {
        if (call % 5 == 0) expected.push_back(SetWndCall(0, kWindow));
        expected.push_back(InputCall(0, kData, sizeof kData, 0));
    }
    EXPECT_EQ(expected, Journal()) << "refused calls do not count";
}

TEST_F(StreamTest, ReopenRestartsTheFiveCallWindowCycle)
{
    StartPort(2, kWindow);
    for (int call = 1; call <= 3; ++call) ASSERT_EQ(PLAY_OK, Input(2));
    ASSERT_EQ(PLAY_OK, Open(2, kWindow));
    ForgetJournalAndLogs();
    for (int call = 1; call <= 5; ++call) ASSERT_EQ(PLAY_OK, Input(2));
    std::vector<VendorCall> expected(4, InputCall(0, kData, sizeof kData, 0));
    expected.push_back(SetWndCall(0, kWindow));
    expected.push_back(InputCall(0, kData, sizeof kData, 0));
    EXPECT_EQ(expected, Journal());
}

TEST_F(StreamTest, DataKindComesFromTheLowByteOfTheDataType)
{
    StartPort(2);
    for (int32_t dataType : {int32_t{'A'}, 0x141, int32_t{'B'}, 0, int32_t{'a'}}) ASSERT_EQ(PLAY_OK, Input(2, dataType));
    std::vector<int64_t> kinds;
    for (const VendorCall& call : Journal())
        if (call.function == SHX_INPUT_DATA) kinds.push_back(call.args[3]);
    EXPECT_EQ((std::vector<int64_t>{1, 1, 0, 0, 0}), kinds);
}

TEST_F(StreamTest, RefusedDataIsRetriedAfterPauses)
{
    InitWithDebugLevel(2);
    StartPort(2);
    ShxStandin_Script(SHX_INPUT_DATA, -2, 1);
    EXPECT_EQ(PLAY_OK, Input(2));
    std::vector<int64_t> times = CallTimes(SHX_INPUT_DATA);
    ASSERT_EQ(2u, times.size());
    EXPECT_GE(times[1] - times[0], 99000) << "microseconds between the refusal and the retry";
    EXPECT_EQ((std::vector<ErrorRecord>{Error(-2, texts::kBufferOverflow, "SHX_PlayStrm_InputData()")}), Errors());

    InitWithDebugLevel(1);
    ShxStandin_Script(SHX_INPUT_DATA, -5, 1);
    EXPECT_EQ(PLAY_OK, Input(2));
    EXPECT_EQ(2u, CallTimes(SHX_INPUT_DATA).size());
    EXPECT_TRUE(Errors().empty()) << "refusals are recorded only from debug level 2";
}

TEST_F(StreamTest, DataRefusedTenTimesIsDroppedAfterTenPauses)
{
    StartPort(2);
    ShxStandin_Script(SHX_INPUT_DATA, -2, 10);
    EXPECT_EQ(PLAY_OK, Input(2));
    ASSERT_EQ(PLAY_OK, player->Play_SetVolume(2, 1));  // journaled right after the input returned
    std::vector<int64_t> times = CallTimes(SHX_INPUT_DATA);
    ASSERT_EQ(10u, times.size()) << "ten attempts, then the data is dropped";
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 99000) << "pause " << i;
    EXPECT_GE(CallTimes(SHX_ENABLE_SOUND).at(0) - times.back(), 99000) << "a pause follows the tenth refusal too";
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StreamTest, DroppedInputIsCountedUntilTheNextOpen)
{
    const auto dropped = [&] {
        int32_t count = -1;
        EXPECT_EQ(PLAY_OK, player->Play_GetThrowNum(2, &count));
        return count;
    };
    StartPort(2);
    ShxStandin_Script(SHX_INPUT_DATA, -2, 10);
    EXPECT_EQ(PLAY_OK, Input(2));
    ShxStandin_Script(SHX_INPUT_DATA, -2, 9);
    EXPECT_EQ(PLAY_OK, Input(2)) << "taken at the tenth attempt";
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(2, 9));
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(2)) << "held back in step mode";
    EXPECT_EQ(1, dropped());
    ASSERT_EQ(PLAY_OK, player->Play_CloseStream(2));
    EXPECT_EQ(1, dropped()) << "still readable after the stop";
    ASSERT_EQ(PLAY_OK, Open(2));
    EXPECT_EQ(0, dropped());
}

TEST_F(StreamTest, StepModeAdmitsOneInputPerStep)
{
    ASSERT_EQ(PLAY_OK, Bind(4));
    ASSERT_EQ(PLAY_ERR_NOT_OPEN, player->Play_PlayState(4, 1));
    EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kCannotChangeUnstarted)}, Errors());
    ASSERT_EQ(PLAY_OK, Open(4));
    ForgetJournalAndLogs();

    ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, 9));
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(4)) << "entering step mode grants nothing";
    EXPECT_TRUE(Journal().empty());
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, 9));
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, 9));
    EXPECT_EQ(PLAY_OK, Input(4)) << "grants do not add up";
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(4));
    EXPECT_EQ(1u, Journal().size());
    EXPECT_TRUE(Errors().empty()) << "a step refusal writes no record";

    ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, 9));
    ShxStandin_Script(SHX_INPUT_DATA, -2, 10);
    EXPECT_EQ(PLAY_OK, Input(4));
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(4)) << "the grant is used up even when the data was refused";

    for (int32_t type : {9, 2, 9}) ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, type));
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(4)) << "leaving and entering step mode again grants nothing";
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, 6));
    EXPECT_EQ(PLAY_OK, Input(4));
    EXPECT_EQ(PLAY_OK, Input(4));
}

TEST_F(StreamTest, UnknownStateCommandsChangeNothing)
{
    StartPort(4);
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(4, 7));
    for (int32_t type : {0, 10, -1}) EXPECT_EQ(PLAY_OK, player->Play_PlayState(4, type)) << type;
    EXPECT_EQ(7, StateOf(4));
    EXPECT_EQ(0, StateOf(127));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StreamTest, InputToAPortNotOpenedIsRefused)
{
    ASSERT_EQ(PLAY_OK, Bind(4));
    EXPECT_EQ(PLAY_ERR_NOT_OPEN, Input(4));
    EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kInputToUnopened)}, Errors());
    EXPECT_TRUE(Journal().empty());
}

// The way one stream goes through the plug-in, from the host's first call to its last.
TEST(RoadOfOneStream, FromCreateToRelease)
{
    ShxStandin_Reset();
    WriteText(ConfigFilePath(), "[GLOBAL]\n[TRACE_PATH] [" + SystemDriveRoot() + "pelshx-road]\n[DEBUG_LEVEL] [1]\n");
    Remove(SystemDriveRoot() + "pelshx-road/PelShx_Player_Runtime.log");
    IPlayer* player = CreateSinglePlayerDll();
    ASSERT_NE(nullptr, player);
    ASSERT_EQ(0, player->Play_Init(0));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(5, 1));
    const uint8_t data[4] = {1, 2, 3, 4};
    ASSERT_EQ(PLAY_OK, player->Play_OpenStream(kWindow, 5, data, sizeof data, 0));
    for (int i = 0; i < 5; ++i) ASSERT_EQ(PLAY_OK, player->Play_InputData(5, data, sizeof data, 'A'));
    ASSERT_EQ(PLAY_OK, player->Play_CloseStream(5));
    ASSERT_EQ(0, player->Play_Uninit());
    ReleaseSinglePlayerDll(player);

    std::vector<VendorCall> expected = {{SHX_INIT, {}}, OpenCall(0), SetWndCall(0, kWindow), StartCall(0)};
    for (int i = 1; i <= 5; ++i) {
        if (i == 5) expected.push_back(SetWndCall(0, kWindow));
        expected.push_back(InputCall(0, data, sizeof data, 1));
    }
    expected.push_back(StopCall(0));
    expected.push_back({SHX_UNINIT, {}});
    EXPECT_EQ(expected, VendorJournal());
    EXPECT_EQ((std::vector<EntryRecord>{{texts::kSetOpenMode, "Play_SetOpenMode"},
                                        {texts::kOpenStream, "Play_OpenStream"},
                                        {texts::kCloseStream, "Play_CloseStream"}}),
              ParseRuntimeLog(ReadText(SystemDriveRoot() + "pelshx-road/PelShx_Player_Runtime.log")));
}

}  // namespace
