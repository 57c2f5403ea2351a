// What the player survives around it: configuration files of any kind, trace
// paths that cannot be directories, and the trace directory vanishing. The
// host's results never change; only log records may be lost.

#include "support/player_fixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using test_files::CurrentDirectory;
using test_files::TemporaryRootPath;
using test_files::WriteBytes;

using FaultsTest = PlayerTest;

constexpr auto kInitBound = std::chrono::seconds(30);

// Keeps a file unreadable for this process while it lives.
class UnreadableFile {
public:
    explicit UnreadableFile(const std::string& path)
    {
        WriteText(path, "[GLOBAL]\n[DEBUG_LEVEL] [1]\n");
#ifdef _WIN32
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
#else
        chmod(path.c_str(), 0);  // root reads it all the same
#endif
    }
    ~UnreadableFile()
    {
#ifdef _WIN32
        CloseHandle(handle_);
#endif
    }
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

#ifdef _WIN32
private:
    HANDLE handle_;
#endif
};

TEST_F(FaultsTest, InitAnswersZeroPromptlyWhateverTheConfigurationFileIs)
{
    // Natively the default trace directory "c:/tamsi/" is relative to the current one.
    CurrentDirectory inRoot(TemporaryRootPath());
    const std::string config = ConfigFilePath();
    std::mt19937 random(9);
    std::string garbage(65536, '\0');
    for (char& byte : garbage) byte = static_cast<char>(random());

    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"missing", [] {}},
        {"empty", [&] { WriteText(config, ""); }},
        {"a directory", [&] { fs::create_directories(config); }},
        {"binary garbage", [&] { WriteBytes(config, garbage); }},
        {"unreadable", [] {}},
    };
    for (const auto& [name, make] : cases) {
        fs::remove_all(config);
        make();
        const std::unique_ptr<UnreadableFile> locked(name == std::string("unreadable") ? new UnreadableFile(config)
                                                                                        : nullptr);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(0, player->Play_Init(0)) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, kInitBound) << name;
        EXPECT_EQ(PLAY_OK, Bind(1)) << name;
    }
    fs::remove_all(config);
}

TEST_F(FaultsTest, InitReadsA100MiBConfigurationFileToItsEnd)
{
    const std::string config = ConfigFilePath();
    {
        std::ofstream out(config, std::ios::binary | std::ios::trunc);
        out.seekp(100 << 20);  // 100 MiB of NUL bytes, sparse where the file system allows
        out << "\n[GLOBAL]\n[TRACE_PATH] [" << kTraceDirectory << "]\n[DEBUG_LEVEL] [1]\n";
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, player->Play_Init(0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kInitBound);
    ForgetJournalAndLogs();
    EXPECT_EQ(PLAY_OK, Bind(1));
    EXPECT_EQ(1u, Entries().size()) << "trace path and debug level were found after the padding";
    Remove(config);
}

TEST_F(FaultsTest, TracePathThatCannotBeADirectoryLosesOnlyTheLogs)
{
    const std::string file = TemporaryRootPath() + "plain-file";
    WriteText(file, "kept");
    for (const std::string& tracePath : {file, file + "/below"}) {
        WriteText(ConfigFilePath(), "[GLOBAL]\n[TRACE_PATH] [" + tracePath + "]\n[DEBUG_LEVEL] [2]\n");
        EXPECT_EQ(0, player->Play_Init(0)) << tracePath;
        EXPECT_EQ(PLAY_OK, Bind(9));
        EXPECT_EQ(PLAY_ERR_PARAM, Bind(-1));
        EXPECT_TRUE(fs::is_regular_file(file));
        EXPECT_EQ("kept", ReadText(file));
    }
}

TEST_F(FaultsTest, RemovedTraceDirectoryLosesRecordsUntilItIsBack)
{
    InitWithDebugLevel(1);
    fs::remove_all(kTraceDirectory);
    EXPECT_EQ(PLAY_OK, Bind(3));
    EXPECT_EQ(PLAY_ERR_PARAM, Bind(-1));
    EXPECT_FALSE(fs::exists(kTraceDirectory)) << "only Init makes the trace directory";

    fs::create_directory(kTraceDirectory);
    EXPECT_EQ(PLAY_ERR_PARAM, Bind(-2));
    EXPECT_EQ(1u, Entries().size());
    EXPECT_EQ(1u, Errors().size());
}

// The error log held by another program while calls fail: their records wait
// and are written by Play_Uninit, every one, once the log is free again.
TEST_F(FaultsTest, RecordsForAHeldLogAreWrittenAtUninit)
{
    InitWithDebugLevel(0);
    const std::string errorLog = kTraceDirectory + kErrorLogName;
    WriteText(errorLog, "");
    {
        const test_files::HeldFile held(errorLog);
        ASSERT_TRUE(held.Held());
        for (const int32_t port : {-1, -2, -3}) EXPECT_EQ(PLAY_ERR_PARAM, Bind(port));
        EXPECT_TRUE(ReadText(errorLog).empty());
    }
    EXPECT_EQ(0, player->Play_Uninit());
    EXPECT_EQ(3u, Errors().size());
}

}  // namespace
