// Handing out and taking back the player, initialisation and shutdown.

#include "support/player_fixture.h"
#include "trace/log_texts.h"

#include <filesystem>

namespace {

using PlayerLifecycleTest = PlayerTest;

TEST_F(PlayerLifecycleTest, OnePlayerUntilReleasedByItsOwnPointer)
{
    EXPECT_EQ(player, CreateSinglePlayerDll()) << "a second create must return the same player";

    int32_t foreign = 0;
    ReleaseSinglePlayerDll(nullptr);
    ReleaseSinglePlayerDll(reinterpret_cast<IPlayer*>(&foreign));
    EXPECT_EQ(player, CreateSinglePlayerDll()) << "null and foreign pointers must leave the player alive";

    ASSERT_EQ(PLAY_OK, Bind(4));
    ReleaseSinglePlayerDll(player);
    ReleaseSinglePlayerDll(player);  // stale: ignored, no double free
    player = CreateSinglePlayerDll();
    ASSERT_NE(nullptr, player);
    EXPECT_EQ(PLAY_ERR_PARAM, Open(4)) << "a new player starts without bindings";
}

TEST_F(PlayerLifecycleTest, NewPlayerHoldsConstructionValues)
{
    for (int32_t port : {0, 5, 127}) {
        EXPECT_EQ(0, StateOf(port));
        int32_t para[6] = {7, 7, 7, 7, 7, 7};
        EXPECT_EQ(PLAY_OK, player->Play_SetVideoPara(port, para));
        EXPECT_EQ((std::vector<int32_t>{0, 50, 50, 50, 50, 0}), std::vector<int32_t>(para, para + 6));
        int32_t overlay = -1;
        uint32_t colorKey = 0;
        EXPECT_EQ(PLAY_OK, player->Play_GetPreviewMode(port, &overlay, &colorKey));
        EXPECT_EQ(0, overlay);
        EXPECT_EQ(0x00FF00FFu, colorKey);
    }
    int32_t volume = -1;
    EXPECT_EQ(PLAY_OK, player->Play_GetVolume(0, &volume));
    EXPECT_EQ(0, volume);
    EXPECT_TRUE(Journal().empty()) << "building the player must not touch the vendor library";
}

TEST_F(PlayerLifecycleTest, InitReadsTraceDirectoryAndDebugLevel)
{
    const std::string nested = SystemDriveRoot() + "pelshx-init/a/b";
    std::filesystem::remove_all(SystemDriveRoot() + "pelshx-init");
    std::string backslashed = nested;
    for (char& c : backslashed)
        if (c == '/') c = '\\';
    WriteText(ConfigFilePath(), "# trace settings\n[GLOBAL]\n[TRACE_PATH] [" + backslashed +
                                        "]\n[DEBUG_LEVEL] [2x]\n");
    ShxStandin_Script(SHX_INIT, -7, 1);
    EXPECT_EQ(0, player->Play_Init(123)) << "a failing vendor init still gives 0";

    EXPECT_TRUE(std::filesystem::is_directory(nested)) << "the trace directory and its parents are created";
    const std::string errors = ReadText(nested + "/PelShx_Player_Error.log");
    EXPECT_EQ(std::vector<ErrorRecord>{Error(-7, "SHX_PlayStrm_Init() error")}, ParseErrorLog(errors));
    EXPECT_EQ((std::vector<VendorCall>{{SHX_INIT, {}}}), Journal());

    player->Play_InputData(0, kData, sizeof kData, 0);  // "2x" reads as 2: input writes its entry record
    EXPECT_EQ((std::vector<EntryRecord>{{texts::kInputData, "Play_InputData"}}),
              ParseRuntimeLog(ReadText(nested + "/PelShx_Player_Runtime.log")));
    std::filesystem::remove_all(SystemDriveRoot() + "pelshx-init");
}

TEST_F(PlayerLifecycleTest, DebugLevelDecidesEntryRecords)
{
    struct Case {
        const char* text;
        std::size_t entriesForBindAndInput;
    };
    for (const Case& c : {Case{"abc", 0}, Case{"-1", 0}, Case{"1", 1}, Case{" +2", 2}}) {
        WriteText(ConfigFilePath(), "[GLOBAL]\n[TRACE_PATH] [" + kTraceDirectory + "]\n[DEBUG_LEVEL] [" +
                                            c.text + "]\n");
        ASSERT_EQ(0, player->Play_Init(0));
        ForgetJournalAndLogs();
        Bind(1);
        Input(1);
        EXPECT_EQ(c.entriesForBindAndInput, Entries().size()) << "DEBUG_LEVEL [" << c.text << "]";
    }
}

TEST_F(PlayerLifecycleTest, InitWithoutConfigurationUsesDefaults)
{
    Remove(ConfigFilePath());
    EXPECT_EQ(0, player->Play_Init(0));
#ifdef _WIN32
    const std::string defaultDirectory = "C:/tamsi/";
    EXPECT_TRUE(std::filesystem::is_directory(defaultDirectory)) << "the default trace directory is created";
    Remove(defaultDirectory + "PelShx_Player_Runtime.log");
    Remove(defaultDirectory + "PelShx_Player_Error.log");
    EXPECT_EQ(PLAY_ERR_PARAM, Bind(-1));
    EXPECT_FALSE(std::filesystem::exists(defaultDirectory + "PelShx_Player_Runtime.log")) << "debug level 0: no entry records";
    EXPECT_EQ(std::vector<ErrorRecord>{Error(0, texts::kBadArgument)},
              ParseErrorLog(ReadText(defaultDirectory + "PelShx_Player_Error.log")));
#endif
    EXPECT_EQ((std::vector<VendorCall>{{SHX_INIT, {}}}), Journal());
}

TEST_F(PlayerLifecycleTest, EmptyTracePathPutsLogsInCurrentDirectory)
{
    test_files::CurrentDirectory inRoot(test_files::TemporaryRootPath());
    WriteText(ConfigFilePath(), "[GLOBAL]\n[TRACE_PATH] []\n[DEBUG_LEVEL] [1]\n");
    Remove("PelShx_Player_Runtime.log");
    ASSERT_EQ(0, player->Play_Init(0));
    Bind(2);
    EXPECT_EQ((std::vector<EntryRecord>{{texts::kSetOpenMode, "Play_SetOpenMode"}}),
              ParseRuntimeLog(ReadText("PelShx_Player_Runtime.log")));
    Remove("PelShx_Player_Runtime.log");
}

TEST_F(PlayerLifecycleTest, InitAndUninitReachTheVendorLibraryEveryTime)
{
    EXPECT_EQ(0, player->Play_Uninit()) << "before init";
    ShxStandin_Script(SHX_UNINIT, -1, 1);
    EXPECT_EQ(0, player->Play_Uninit()) << "a failing vendor uninit is not reported";
    InitWithDebugLevel(0);
    EXPECT_EQ(0, player->Play_Init(0));
    EXPECT_EQ(0, player->Play_Uninit());
    EXPECT_EQ((std::vector<VendorCall>{{SHX_INIT, {}}, {SHX_UNINIT, {}}}), Journal());
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
