#include "bridge/bridge_fixture.h"

#include "support/file_helpers.h"
#include "support/temporary_root.h"

#include <tlhelp32.h>

#include <sstream>

namespace bridge_test {

std::string Root()
{
    return test_files::TemporaryRootPath();
}

std::vector<std::string> JournalLines(const std::string& journalFile, const std::string& call)
{
    std::vector<std::string> lines;
    std::istringstream journal(test_files::ReadText(journalFile));
    for (std::string line; std::getline(journal, line);) {
        const std::size_t start = line.find(" ms  ");
        if (start != std::string::npos && line.compare(start + 5, call.size(), call) == 0)
            lines.push_back(line.substr(start + 5));
    }
    return lines;
}

uint32_t Checksum(const uint8_t* data, std::size_t size)
{
    uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

namespace {

// When the process was made, or 0 when it has ended or cannot be asked.
ULONGLONG RunningSince(DWORD process)
{
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process);
    if (handle == nullptr) return 0;
    FILETIME made = {}, ended = {}, kernel = {}, user = {};
    const bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT &&
                         GetProcessTimes(handle, &made, &ended, &kernel, &user);
    CloseHandle(handle);
    return running ? (static_cast<ULONGLONG>(made.dwHighDateTime) << 32) | made.dwLowDateTime : 0;
}

}  // namespace

std::vector<DWORD> ChildrenOf(DWORD parent)
{
    // A process keeps the number of the parent that made it after that parent
    // has ended, and the system soon gives the number to another process:
    // only those made after the parent are its children.
    const ULONGLONG parentMade = RunningSince(parent);
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parent) continue;
        const ULONGLONG made = RunningSince(entry.th32ProcessID);
        if (made != 0 && made >= parentMade) children.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return children;
}

const uint8_t Bridge::kData[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

void Bridge::SetUp()
{
    traceDirectory = Root() + "trace/";
    journalFile = Root() + "journal.txt";
    test_files::Remove(journalFile);
    std::filesystem::remove_all(traceDirectory);
    test_files::WriteText(test_files::SystemDriveRoot() + "tavo/cfg/TAVO.cfg",
                          "[GLOBAL]\n[TRACE_PATH] [" + traceDirectory + "]\n[DEBUG_LEVEL] [0]\n");
    SetEnvironmentVariableA("SHXSTRM_JOURNAL", journalFile.c_str());
    plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    ASSERT_NE(nullptr, plugin);
    create = reinterpret_cast<PFN_CreateSinglePlayerDll>(
        reinterpret_cast<void (*)()>(GetProcAddress(plugin, "CreateSinglePlayerDll")));
    release = reinterpret_cast<PFN_ReleaseSinglePlayerDll>(
        reinterpret_cast<void (*)()>(GetProcAddress(plugin, "ReleaseSinglePlayerDll")));
    ASSERT_TRUE(create != nullptr && release != nullptr);
}

void Bridge::TearDown()
{
    if (player != nullptr) release(player);
    SetEnvironmentVariableA("SHXSTRM_FAULT", nullptr);
    SetEnvironmentVariableA("SHXSTRM_JOURNAL", nullptr);
    FreeLibrary(plugin);
}

void Bridge::StartPort(int32_t port, void* window)
{
    player = create();
    ASSERT_NE(nullptr, player);
    ASSERT_EQ(PLAY_OK, player->Play_Init(0));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(9, 0));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(port, 0));
    ASSERT_EQ(PLAY_OK, player->Play_OpenStream(window, port, kData, sizeof kData, 0));
}

std::string Bridge::ErrorLog() const
{
    return test_files::ReadText(traceDirectory + "PelShx_Player_Error.log");
}

void Bridge::EndHelper(uint32_t exitCode)
{
    const std::vector<DWORD> helpers = ChildrenOf(GetCurrentProcessId());
    ASSERT_EQ(1u, helpers.size()) << "the player's helper";
    HANDLE helper = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, helpers[0]);
    ASSERT_NE(nullptr, helper);
    EXPECT_TRUE(TerminateProcess(helper, exitCode));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(helper, 5000));
    CloseHandle(helper);
}

std::vector<std::string> Bridge::Dumps() const
{
    std::vector<std::string> dumps;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(traceDirectory, ignored))
        if (entry.path().extension() == ".dmp") dumps.push_back(entry.path().filename().string());
    return dumps;
}

}  // namespace bridge_test
