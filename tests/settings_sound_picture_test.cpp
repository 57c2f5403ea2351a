// Sound, picture capture and size, the kept display settings, and how vendor
// statuses become result codes.

#include "support/player_fixture.h"
#include "trace/log_texts.h"

namespace {

class SettingsTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        InitWithDebugLevel(0);
        ASSERT_EQ(PLAY_OK, Bind(3));  // channel 0
        ASSERT_EQ(PLAY_OK, Bind(4));  // channel 1
    }
    int32_t Volume()
    {
        int32_t level = -1;
        EXPECT_EQ(PLAY_OK, player->Play_GetVolume(5, &level));
        return level;
    }
};

TEST_F(SettingsTest, VendorStatusesTranslateToResultCodes)
{
    struct Row {
        int32_t status;
        int32_t result;
        const char* text;
    };
    for (const Row& row : {Row{-1, PLAY_ERR_PARAM, texts::kIllegalInput}, Row{-2, PLAY_ERR_BUFFER, texts::kBufferOverflow},
                           Row{-2001, PLAY_ERR_MAX_STREAMS, texts::kTooManyStreams},
                           Row{1, PLAY_ERR_UNKNOWN, texts::kUnknownError}, Row{100, PLAY_ERR_UNKNOWN, texts::kUnknownError},
                           Row{-3, PLAY_ERR_UNKNOWN, texts::kUnknownError},
                           Row{-2000, PLAY_ERR_UNKNOWN, texts::kUnknownError}}) {
        ShxStandin_Script(SHX_CAP_IMAGE_BMP, row.status, 1);
        EXPECT_EQ(row.result, player->Play_GetPicture(4, 0)) << "status " << row.status;
        EXPECT_EQ(std::vector<ErrorRecord>{Error(row.status, row.text, "SHX_PlayStrm_CapImageBmp()")}, Errors());
        EXPECT_TRUE(Entries().empty());
        ForgetJournalAndLogs();
    }
}

TEST_F(SettingsTest, CaptureHandsThePictureArgumentOverUntouched)
{
    const char path[] = "C:/capture.bmp";
    const auto picture = reinterpret_cast<uintptr_t>(path);
    EXPECT_EQ(PLAY_OK, player->Play_GetPicture(4, picture)) << "a bound port needs no open stream";
    ASSERT_EQ(PLAY_OK, Open(4));
    ASSERT_EQ(PLAY_OK, player->Play_CloseStream(4));
    ShxStandin_Reset();
    EXPECT_EQ(PLAY_OK, player->Play_GetPicture(4, picture)) << "nor one still open";
    EXPECT_EQ((std::vector<VendorCall>{{SHX_CAP_IMAGE_BMP, {1, static_cast<int64_t>(picture)}}}), Journal());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(SettingsTest, RefreshAndPictureSizeNeedOnlyABinding)
{
    int32_t width = 0, height = 0;
    EXPECT_EQ(PLAY_OK, player->Play_RefreshPlay(3));
    EXPECT_EQ(PLAY_OK, player->Play_GetPictureSize(3, &width, &height));
    EXPECT_EQ(352, width);
    EXPECT_EQ(288, height);
    EXPECT_TRUE(Journal().empty());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(SettingsTest, VolumeSwitchesSoundAndIsKeptForThePlayer)
{
    EXPECT_EQ(PLAY_OK, player->Play_SetVolume(3, 40)) << "sound needs no open stream";
    EXPECT_EQ(40, Volume()) << "one level for every port";
    EXPECT_EQ(PLAY_OK, player->Play_SetVolume(4, 100));
    EXPECT_EQ(PLAY_OK, player->Play_SetVolume(4, 100));
    EXPECT_EQ(PLAY_OK, player->Play_SetVolume(3, 0));
    EXPECT_EQ(0, Volume());
    EXPECT_EQ(PLAY_OK, player->Play_SetVolume(3, 1));
    EXPECT_EQ((std::vector<VendorCall>{{SHX_ENABLE_SOUND, {0, 1}},
                                       {SHX_ENABLE_SOUND, {1, 1}},
                                       {SHX_ENABLE_SOUND, {1, 1}},
                                       {SHX_ENABLE_SOUND, {0, 0}},
                                       {SHX_ENABLE_SOUND, {0, 1}}}),
              Journal());
    EXPECT_EQ(1, Volume());
}

TEST_F(SettingsTest, RefusedVolumeKeepsTheLevel)
{
    ASSERT_EQ(PLAY_OK, player->Play_SetVolume(3, 30));
    ShxStandin_Reset();
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_SetVolume(3, 101));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_SetVolume(3, -1));
    EXPECT_EQ((std::vector<ErrorRecord>{Error(0, texts::kBadArgument), Error(0, texts::kBadArgument)}), Errors());
    EXPECT_TRUE(Journal().empty());
    ShxStandin_Script(SHX_ENABLE_SOUND, -2, 1);
    EXPECT_EQ(PLAY_ERR_BUFFER, player->Play_SetVolume(3, 0));
    EXPECT_EQ(30, Volume());
    int32_t untouched = 7;
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetVolume(128, &untouched));
    EXPECT_EQ(7, untouched);
}

TEST_F(SettingsTest, OverlayModeIsPerPortAndColorKeyPerPlayer)
{
    int32_t overlay = -1;
    uint32_t colorKey = 1;
    EXPECT_EQ(PLAY_OK, player->Play_SetOverlayMode(30, 0));
    EXPECT_EQ(PLAY_OK, player->Play_GetPreviewMode(30, &overlay, &colorKey));
    EXPECT_EQ(1, overlay);
    EXPECT_EQ(0u, colorKey);
    EXPECT_EQ(PLAY_OK, player->Play_GetPreviewMode(70, &overlay, &colorKey));
    EXPECT_EQ(0, overlay);
    EXPECT_EQ(0u, colorKey);

    EXPECT_EQ(PLAY_OK, player->Play_SetOverlayMode(30, 0x00FFFFFF));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_SetOverlayMode(31, 0x01000000));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_SetOverlayMode(31, 0xFFFFFFFF));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_SetOverlayMode(200, 0xFFFFFFFF));
    EXPECT_EQ(3u, Errors().size()) << "a bad port and a bad key give one record";
    EXPECT_EQ(PLAY_OK, player->Play_GetPreviewMode(31, &overlay, &colorKey));
    EXPECT_EQ(0, overlay) << "a refused key leaves the port's mode";
    EXPECT_EQ(0x00FFFFFFu, colorKey);

    ASSERT_EQ(PLAY_OK, player->Play_SetOverlayMode(3, 5));
    ASSERT_EQ(PLAY_OK, Open(3));
    ASSERT_EQ(PLAY_OK, player->Play_CloseStream(3));
    EXPECT_EQ(PLAY_OK, player->Play_GetPreviewMode(3, &overlay, &colorKey));
    EXPECT_EQ(1, overlay) << "closing keeps the overlay mode";
}

TEST_F(SettingsTest, FiguresAndBlocksAreReportedFromThePort)
{
    int32_t value = 7;
    EXPECT_EQ(PLAY_OK, player->Play_GetPicQuality(0, &value));
    EXPECT_EQ(0, value);
    value = 7;
    EXPECT_EQ(PLAY_OK, player->Play_GetThrowNum(127, &value));
    EXPECT_EQ(0, value);

    ASSERT_EQ(PLAY_OK, Open(3));
    ASSERT_EQ(PLAY_OK, player->Play_CloseStream(3));
    for (int round = 0; round < 2; ++round) {
        int32_t para[6] = {7, 7, 7, 7, 7, 7};
        int32_t region[4] = {7, 7, 7, 7};
        EXPECT_EQ(PLAY_OK, player->Play_SetVideoPara(3, para));
        EXPECT_EQ(PLAY_OK, player->Play_SetDispRegion(3, region));
        EXPECT_EQ((std::vector<int32_t>{0, 50, 50, 50, 50, 0}), std::vector<int32_t>(para, para + 6));
        EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0}), std::vector<int32_t>(region, region + 4));
    }
}

TEST_F(SettingsTest, ReservedSlotsDoNothing)
{
    InitWithDebugLevel(3);
    EXPECT_EQ(PLAY_OK, player->Play_Reserved16(-1, 2));
    EXPECT_EQ(PLAY_OK, player->Play_Reserved18(0, 0));
    EXPECT_EQ(PLAY_OK, player->Play_Reserved20(1, 2, 3));
    EXPECT_EQ(PLAY_OK, player->Play_Reserved22(-1, -1, -1));
    EXPECT_EQ(PLAY_OK, player->Play_Reserved24(9));
    EXPECT_EQ(PLAY_OK, player->Play_Reserved25(5, 6));
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(Journal().empty());
}

}  // namespace
