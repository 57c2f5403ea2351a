// The checks every port operation makes, in their order: entry record, port
// range, channel lookup, and the host's output pointers.

#include "support/player_fixture.h"
#include "trace/log_texts.h"

#include <functional>

namespace {

struct PortOperation {
    const char* name;
    const char* description;
    bool needsChannel;
    std::function<int32_t(IPlayer*, int32_t port)> call;
};

int32_t out1 = 0, out2 = 0;
uint32_t outKey = 0;
int32_t block[6] = {};

const std::vector<PortOperation>& PortOperations()
{
    static const std::vector<PortOperation> operations = {
        {"Play_SetOverlayMode", texts::kSetOverlayMode, false, [](IPlayer* p, int32_t port) { return p->Play_SetOverlayMode(port, 0); }},
        {"Play_GetPreviewMode", texts::kGetPreviewMode, false, [](IPlayer* p, int32_t port) { return p->Play_GetPreviewMode(port, &out1, &outKey); }},
        {"Play_SetOpenMode", texts::kSetOpenMode, false, [](IPlayer* p, int32_t port) { return p->Play_SetOpenMode(port, 0); }},
        {"Play_OpenStream", texts::kOpenStream, true, [](IPlayer* p, int32_t port) { return p->Play_OpenStream(nullptr, port, block, 4, 0); }},
        {"Play_CloseStream", texts::kCloseStream, true, [](IPlayer* p, int32_t port) { return p->Play_CloseStream(port); }},
        {"Play_PlayState", texts::kPlayState, true, [](IPlayer* p, int32_t port) { return p->Play_PlayState(port, 1); }},
        {"Play_GetPlayState", texts::kGetPlayState, false, [](IPlayer* p, int32_t port) { return p->Play_GetPlayState(port, &out1); }},
        {"Play_SetVolume", texts::kSetVolume, true, [](IPlayer* p, int32_t port) { return p->Play_SetVolume(port, 500); }},
        {"Play_GetVolume", texts::kGetVolume, false, [](IPlayer* p, int32_t port) { return p->Play_GetVolume(port, &out1); }},
        {"Play_GetPicture", texts::kGetPicture, true, [](IPlayer* p, int32_t port) { return p->Play_GetPicture(port, 0); }},
        {"Play_RefreshPlay", texts::kRefreshPlay, true, [](IPlayer* p, int32_t port) { return p->Play_RefreshPlay(port); }},
        {"Play_GetPictureSize", texts::kGetPictureSize, true, [](IPlayer* p, int32_t port) { return p->Play_GetPictureSize(port, &out1, &out2); }},
        {"Play_GetPicQuality", texts::kGetPicQuality, false, [](IPlayer* p, int32_t port) { return p->Play_GetPicQuality(port, &out1); }},
        {"Play_GetThrowNum", texts::kGetThrowNum, false, [](IPlayer* p, int32_t port) { return p->Play_GetThrowNum(port, &out1); }},
        {"Play_SetVideoPara", texts::kSetVideoPara, false, [](IPlayer* p, int32_t port) { return p->Play_SetVideoPara(port, block); }},
        {"Play_SetDispRegion", texts::kSetDispRegion, false, [](IPlayer* p, int32_t port) { return p->Play_SetDispRegion(port, block); }},
    };
    return operations;
}

using PortChecksTest = PlayerTest;

TEST_F(PortChecksTest, PortOutOfRangeIsRefusedAfterTheEntryRecord)
{
    InitWithDebugLevel(1);
    for (const PortOperation& operation : PortOperations()) {
        for (int32_t port : {-1, 128}) {
            out1 = out2 = 7;
            EXPECT_EQ(PLAY_ERR_PARAM, operation.call(player, port)) << operation.name << " port " << port;
            EXPECT_EQ((std::vector<EntryRecord>{{operation.description, operation.name}}), Entries()) << operation.name;
            EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kBadArgument)}, Errors()) << operation.name;
            EXPECT_EQ(7, out1) << operation.name << " wrote through its output on failure";
            ForgetJournalAndLogs();
        }
    }
    EXPECT_EQ(PLAY_ERR_PARAM, Open(0)) << "no port may have been bound by a refused call";
}

TEST_F(PortChecksTest, PortWithoutChannelIsIllegalInputNamingTheOperation)
{
    InitWithDebugLevel(0);
    ASSERT_EQ(PLAY_OK, Bind(1));
    ForgetJournalAndLogs();
    for (const PortOperation& operation : PortOperations()) {
        if (!operation.needsChannel) continue;
        out1 = out2 = 7;
        EXPECT_EQ(PLAY_ERR_PARAM, operation.call(player, 9)) << operation.name;
        EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kIllegalInput, std::string(operation.name) + "()")},
                  Errors());
        EXPECT_EQ(7, out1) << operation.name;
        EXPECT_TRUE(Journal().empty()) << operation.name << " must not reach the vendor library";
        EXPECT_TRUE(Entries().empty()) << "debug level 0 writes no entry record";
        ForgetJournalAndLogs();
    }
}

TEST_F(PortChecksTest, RangeOnlyOperationsServeEveryPortWithoutChannel)
{
    InitWithDebugLevel(0);
    for (const PortOperation& operation : PortOperations()) {
        if (operation.needsChannel) continue;
        EXPECT_EQ(PLAY_OK, operation.call(player, 77)) << operation.name;
    }
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(Entries().empty());
}

TEST_F(PortChecksTest, InputWritesItsEntryRecordFromDebugLevelTwoAndGetHeadLenFromOne)
{
    int32_t headLen = 0;
    InitWithDebugLevel(0);
    player->Play_GetHeadLen(&headLen);
    EXPECT_TRUE(Entries().empty());
    InitWithDebugLevel(1);
    Input(-1);
    player->Play_GetHeadLen(&headLen);
    EXPECT_EQ((std::vector<EntryRecord>{{texts::kGetHeadLen, "Play_GetHeadLen"}}), Entries());
    InitWithDebugLevel(2);
    Input(-1);
    EXPECT_EQ((std::vector<EntryRecord>{{texts::kInputData, "Play_InputData"}}), Entries());
}

// An error record names the line of the statement that reported the failure,
// not that of a helper it went through.
TEST_F(PortChecksTest, ErrorRecordsNameTheLineOfTheReportingStatement)
{
    InitWithDebugLevel(2);
    StartPort(2);
    ASSERT_EQ(PLAY_OK, Bind(3));
    ForgetJournalAndLogs();
    int32_t out = 0;
    const auto line = [](const char* file, const char* anchor, const char* statement) {
        return SourceLine(file, anchor, statement);
    };
    const std::vector<std::pair<std::function<int32_t()>, ErrorRecord>> failures = {
        {[&] { return Input(200); },
         At(Error(0, texts::kBadArgument), line("playback/input.cpp", "ShxPlayer::InputData", "BeginOnChannel"))},
        {[&] { return Input(9); },
         At(Error(0, texts::kIllegalInput, "Play_InputData()"),
            line("playback/input.cpp", "ShxPlayer::InputData", "BeginOnChannel"))},
        {[&] { return player->Play_InputData(2, kData, 0, 0); },
         At(Error(0, texts::kBadArgument), line("playback/input.cpp", "ShxPlayer::InputData", "size == 0"))},
        {[&] { return Input(3); },
         At(Error(0, texts::kInputToUnopened), line("playback/input.cpp", "ShxPlayer::InputData", "kInputToUnopened"))},
        {[&] {
             ShxStandin_Script(SHX_INPUT_DATA, -2, 1);
             return Input(2);
         },
         At(Error(-2, texts::kBufferOverflow, "SHX_PlayStrm_InputData()"),
            line("playback/input.cpp", "ShxPlayer::HandOver", "ReportVendorFailure"))},
        {[&] { return player->Play_GetThrowNum(2, nullptr); },
         At(Error(0, texts::kBadArgument), line("playback/settings.cpp", "ShxPlayer::GetThrowNum", "ReportPortValues"))},
        {[&] { return player->Play_GetVolume(-1, &out); },
         At(Error(0, texts::kBadArgument), line("playback/sound.cpp", "ShxPlayer::GetVolume", "BeginOnPort"))},
        {[&] { return player->Play_RefreshPlay(9); },
         At(Error(0, texts::kIllegalInput, "Play_RefreshPlay()"),
            line("playback/picture.cpp", "ShxPlayer::RefreshPlay", "BeginOnChannel"))},
        {[&] {
             ShxStandin_Script(SHX_CAP_IMAGE_BMP, -1, 1);
             return player->Play_GetPicture(2, 0);
         },
         At(Error(-1, texts::kIllegalInput, "SHX_PlayStrm_CapImageBmp()"),
            line("playback/picture.cpp", "ShxPlayer::GetPicture", "ReportVendorFailure"))},
    };
    for (const auto& [call, expected] : failures) {
        call();
        EXPECT_EQ(std::vector<ErrorRecord>{expected}, Errors());
        ForgetJournalAndLogs();
    }
}

TEST_F(PortChecksTest, GetHeadLenAnswersZeroBeforeInit)
{
    int32_t headLen = 7;
    EXPECT_EQ(PLAY_OK, player->Play_GetHeadLen(&headLen));
    EXPECT_EQ(0, headLen);
}

// A null output pointer would crash the host's process: it is refused as a bad
// argument instead, after the checks that come before any output.
TEST_F(PortChecksTest, NullOutputPointersAreRefused)
{
    InitWithDebugLevel(0);
    ASSERT_EQ(PLAY_OK, Bind(3));
    ForgetJournalAndLogs();
    const std::vector<std::pair<const char*, std::function<int32_t()>>> calls = {
        {"Play_GetPreviewMode overlay", [&] { return player->Play_GetPreviewMode(3, nullptr, &outKey); }},
        {"Play_GetPreviewMode colorKey", [&] { return player->Play_GetPreviewMode(3, &out1, nullptr); }},
        {"Play_GetPlayState", [&] { return player->Play_GetPlayState(3, nullptr); }},
        {"Play_GetVolume", [&] { return player->Play_GetVolume(3, nullptr); }},
        {"Play_GetHeadLen", [&] { return player->Play_GetHeadLen(nullptr); }},
        {"Play_GetPictureSize width", [&] { return player->Play_GetPictureSize(3, nullptr, &out2); }},
        {"Play_GetPictureSize height", [&] { return player->Play_GetPictureSize(3, &out1, nullptr); }},
        {"Play_GetPicQuality", [&] { return player->Play_GetPicQuality(3, nullptr); }},
        {"Play_GetThrowNum", [&] { return player->Play_GetThrowNum(3, nullptr); }},
        {"Play_SetVideoPara", [&] { return player->Play_SetVideoPara(3, nullptr); }},
        {"Play_SetDispRegion", [&] { return player->Play_SetDispRegion(3, nullptr); }},
    };
    for (const auto& [name, call] : calls) {
        out1 = out2 = 7;
        outKey = 7;
        EXPECT_EQ(PLAY_ERR_PARAM, call()) << name;
        EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kBadArgument)}, Errors()) << name;
        EXPECT_TRUE(out1 == 7 && out2 == 7 && outKey == 7u) << name << " wrote its other output";
        ForgetJournalAndLogs();
    }
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetPictureSize(4, nullptr, nullptr));
    EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kIllegalInput, "Play_GetPictureSize()")}, Errors())
        << "the channel lookup comes before the pointer test";
}

}  // namespace
