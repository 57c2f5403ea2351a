// The 64-bit DLL as a 64-bit host sees it when the vendor library crashes or
// hangs in the helper (the stand-in told to through its environment, which a
// new helper takes from this process), when buffers of every size cross, and
// when the host itself is killed.

#include "bridge/bridge_fixture.h"
#include "support/file_helpers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

using bridge_test::Bridge;
using bridge_test::ChildrenOf;
using bridge_test::Root;
using test_files::ReadBytes;
using test_files::ReadText;
using test_files::WriteText;

const uint32_t kCrashCode = 0xC0000005;          // the access violation
const uint32_t kEmulatedCrashCode = 0xC000001D;  // the same fault where QEMU runs 32-bit programs
const int32_t kWatchdogExitCode = 258;
// 播放辅助进程一分钟内三次异常结束，不再启动: the helper ended three times within a minute, not started again
const std::string kStoppedText = "\xb2\xa5\xb7\xc5\xb8\xa8\xd6\xfa\xbd\xf8\xb3\xcc\xd2\xbb\xb7\xd6\xd6\xd3\xc4\xda\xc8\xfd"
                                 "\xb4\xce\xd2\xec\xb3\xa3\xbd\xe1\xca\xf8\xa3\xac\xb2\xbb\xd4\xd9\xc6\xf4\xb6\xaf";

// A dump of an earlier day, as a crash loop leaves them; its name sorts by its number.
std::string OldDump(int number)
{
    return "pelshx_bridge32-20000101-000000-" + std::to_string(number) + ".dmp";
}

TEST_F(Bridge, CrashCostsOneCallAndTheNextHelperPicksUpWhereItWas)
{
    SetEnvironmentVariableA("SHXSTRM_FAULT", "crash,SHX_PlayStrm_InputData,5");
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    ASSERT_EQ(PLAY_OK, player->Play_SetOverlayMode(3, 0x123456));
    ASSERT_EQ(PLAY_OK, player->Play_SetVolume(3, 40));
    ASSERT_EQ(PLAY_OK, player->Play_PlayState(3, 4));
    for (int old = 1; old <= 7; ++old) WriteText(traceDirectory + OldDump(old), "old");
    for (int input = 1; input <= 4; ++input) EXPECT_EQ(PLAY_OK, Input(3)) << "input " << input;
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3)) << "the input the vendor library crashed in";
    SetEnvironmentVariableA("SHXSTRM_FAULT", nullptr);

    for (int input = 6; input <= 8; ++input) EXPECT_EQ(PLAY_OK, Input(3)) << "input " << input;
    int32_t overlay = 0, state = 0, volume = 0;
    uint32_t colorKey = 0;
    EXPECT_EQ(PLAY_OK, player->Play_GetPreviewMode(3, &overlay, &colorKey));
    EXPECT_EQ(1, overlay);
    EXPECT_EQ(0x123456u, colorKey);
    EXPECT_EQ(PLAY_OK, player->Play_GetPlayState(3, &state));
    EXPECT_EQ(4, state);
    EXPECT_EQ(PLAY_OK, player->Play_GetVolume(3, &volume));
    EXPECT_EQ(40, volume);

    // Every input, before and after, on the port's channel 1; the crashed one
    // never came back and was not tried again.
    const std::vector<std::string> inputs = JournalLines("SHX_PlayStrm_InputData");
    ASSERT_EQ(7u, inputs.size());
    for (const std::string& line : inputs) EXPECT_EQ(0u, line.find("SHX_PlayStrm_InputData(1, ")) << line;

    // The access violation's code is the helper's exit code; where QEMU runs
    // 32-bit programs, Wine cannot tell what kind of fault it was and reports
    // an illegal instruction instead. The dump is named in the record; of the
    // old ones the newest four are kept beside it.
    std::vector<std::string> dumps = Dumps();
    std::sort(dumps.begin(), dumps.end());
    const std::string log = ErrorLog();
    ASSERT_EQ(5u, dumps.size()) << log;
    EXPECT_EQ((std::vector<std::string>{OldDump(4), OldDump(5), OldDump(6), OldDump(7)}),
              std::vector<std::string>(dumps.begin(), dumps.begin() + 4));
    const std::string dump = dumps[4];
    const uint32_t code = log.find("exit code 0xC000001D") != std::string::npos ? kEmulatedCrashCode : kCrashCode;
    char record[128];
    std::snprintf(record, sizeof record, "ErrCode:[%d]", static_cast<int32_t>(code));
    EXPECT_NE(std::string::npos, log.find(record)) << log;
    std::snprintf(record, sizeof record, "Play_InputData(), exit code 0x%08X, dump %s]", static_cast<unsigned>(code),
                  dump.c_str());
    EXPECT_NE(std::string::npos, log.find(record)) << log;
    EXPECT_EQ("MDMP", ReadBytes(traceDirectory + dump).substr(0, 4)) << "a minidump's signature";
}

TEST_F(Bridge, HungCallIsEndedByTheWatchdogWithoutTheGraceOfAnEarlierCrash)
{
    // The first helper crashes at its second input, the next one hangs at its first.
    SetEnvironmentVariableA("SHXSTRM_FAULT", "crash,SHX_PlayStrm_InputData,2");
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    EXPECT_EQ(PLAY_OK, Input(3));
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3));
    SetEnvironmentVariableA("SHXSTRM_FAULT", "hang,SHX_PlayStrm_InputData,1");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    EXPECT_GE(waited.count(), 3000);
    EXPECT_LT(waited.count(), 8000) << "the hang was given the time a crash has for its dump";
    SetEnvironmentVariableA("SHXSTRM_FAULT", nullptr);

    EXPECT_EQ(PLAY_OK, Input(3));
    EXPECT_EQ(1u, Dumps().size()) << "the crash's";
    // The hang's record names no dump, not the crash's before it.
    EXPECT_NE(std::string::npos, ErrorLog().find("Play_InputData(), exit code 0x00000102, no dump]")) << ErrorLog();
    EXPECT_NE(std::string::npos, ErrorLog().find("ErrCode:[" + std::to_string(kWatchdogExitCode) + "]"));
}

TEST_F(Bridge, HelperEndedBetweenCallsCostsNoCallUntilTheThirdEndWithinAMinute)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(4, 0));
    ASSERT_EQ(PLAY_OK, player->Play_OpenStream(reinterpret_cast<void*>(0x1234), 4, kData, sizeof kData, 0));
    // Port 3 in step mode with a step granted, port 4 in it without one.
    for (int32_t port : {3, 3, 4}) ASSERT_EQ(PLAY_OK, player->Play_PlayState(port, 9));
    ASSERT_NO_FATAL_FAILURE(EndHelper(77));

    // The next helper takes the call the ended one never took, in the same state.
    EXPECT_EQ(PLAY_OK, Input(3)) << "the step granted";
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(3)) << "the step used up";
    EXPECT_EQ(PLAY_ERR_BUFFER, Input(4)) << "no step granted";
    const std::vector<std::string> inputs = JournalLines("SHX_PlayStrm_InputData");
    ASSERT_EQ(1u, inputs.size());
    EXPECT_EQ(0u, inputs[0].find("SHX_PlayStrm_InputData(1, ")) << inputs[0];
    EXPECT_NE(std::string::npos, ErrorLog().find("ErrCode:[77]")) << ErrorLog();
    EXPECT_NE(std::string::npos, ErrorLog().find("\nbetween calls, exit code 0x0000004D, no dump]")) << ErrorLog();

    // The second end still brings a new helper; the third within a minute stops the bridge.
    ASSERT_NO_FATAL_FAILURE(EndHelper(78));
    EXPECT_EQ(PLAY_OK, player->Play_PlayState(3, 1));
    EXPECT_EQ(PLAY_OK, Input(3));
    ASSERT_NO_FATAL_FAILURE(EndHelper(79));
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3));
    EXPECT_EQ(2u, JournalLines("SHX_PlayStrm_InputData").size());
    EXPECT_TRUE(ChildrenOf(GetCurrentProcessId()).empty()) << "a helper after the third end";
    const std::string log = ErrorLog();
    EXPECT_NE(std::string::npos, log.find("ErrCode:[79]")) << log;
    EXPECT_NE(std::string::npos, log.find("ErrString:[" + kStoppedText + "\nbetween calls, exit code 0x0000004F, "
                                          "no dump: every call answers 26 until the player is released and made anew]"))
        << log;
}

TEST_F(Bridge, HelperEndedInTheReplayLeavesTheWholeStateToTheNext)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    ASSERT_EQ(PLAY_OK, player->Play_SetVolume(3, 40));
    SetEnvironmentVariableA("SHXSTRM_FAULT", "crash,SHX_PlayStrm_Init,1");
    ASSERT_NO_FATAL_FAILURE(EndHelper(77));
    int32_t volume = -1;
    EXPECT_EQ(PLAY_ERR_UNKNOWN, player->Play_GetVolume(3, &volume)) << "its helper crashed in Play_Init";
    SetEnvironmentVariableA("SHXSTRM_FAULT", nullptr);

    EXPECT_EQ(PLAY_OK, player->Play_GetVolume(3, &volume));
    EXPECT_EQ(40, volume);
    EXPECT_EQ(PLAY_OK, Input(3));
    EXPECT_NE(std::string::npos, ErrorLog().find("\nthe replay, exit code 0xC")) << ErrorLog();
}

TEST_F(Bridge, ThreeEndsWithinAMinuteStopTheBridgeUntilThePlayerIsMadeAnew)
{
    // Every helper crashes at its first input.
    SetEnvironmentVariableA("SHXSTRM_FAULT", "crash,SHX_PlayStrm_InputData,1");
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    for (int crash = 1; crash <= 3; ++crash) EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3)) << "crash " << crash;
    SetEnvironmentVariableA("SHXSTRM_FAULT", nullptr);
    const std::size_t callsBefore = JournalLines("SHX_PlayStrm_").size();
    int32_t volume = -1;
    EXPECT_EQ(PLAY_ERR_UNKNOWN, player->Play_GetVolume(3, &volume));
    EXPECT_EQ(-1, volume);
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3));
    EXPECT_EQ(PLAY_ERR_UNKNOWN, player->Play_Init(0));
    EXPECT_EQ(callsBefore, JournalLines("SHX_PlayStrm_").size()) << "no helper answered";
    // The third end's record names its dump, as no helper follows to do so.
    const std::vector<std::string> dumps = Dumps();
    EXPECT_EQ(3u, dumps.size());
    std::smatch stop;
    const std::string log = ErrorLog();
    const std::regex stopRecord("Play_InputData\\(\\), exit code 0x[0-9A-F]{8}, "
                                "dump ([^ ]+\\.dmp): every call answers 26");
    ASSERT_TRUE(std::regex_search(log, stop, stopRecord)) << log;
    EXPECT_NE(dumps.end(), std::find(dumps.begin(), dumps.end(), stop[1].str())) << stop[1];

    release(player);
    player = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    EXPECT_EQ(PLAY_OK, Input(3));
}

TEST_F(Bridge, BuffersUpTo16MiBCrossWholeBeforeAndAfterARestartAndLargerOnesAreRefused)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    const uint32_t limit = 16u * 1024u * 1024u;
    std::vector<uint8_t> data(limit + 1);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 4096);
    std::vector<std::string> expected;
    auto input = [&](uint32_t size) {
        EXPECT_EQ(PLAY_OK, player->Play_InputData(3, data.data(), size, 'A')) << size;
        char line[80];
        std::snprintf(line, sizeof line, "SHX_PlayStrm_InputData(1, data:%08x, %u, 1, 0, -1, -1) -> 0",
                      bridge_test::Checksum(data.data(), size), static_cast<unsigned>(size));
        expected.push_back(line);
    };
    // Above a page and below the first data block's size, then a block grown
    // to 1 MiB, which the next helper must map whole.
    for (uint32_t size : {4096u, 65536u, 1048576u}) input(size);
    ASSERT_NO_FATAL_FAILURE(EndHelper(77));
    for (uint32_t size : {4096u, 65536u, 1048576u, limit}) input(size);
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_InputData(3, data.data(), limit + 1, 'A'));
    // The open buffer has the same limit.
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(4, 0));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_OpenStream(reinterpret_cast<void*>(0x1234), 4, data.data(), limit + 1, 0));
    EXPECT_EQ(PLAY_OK, player->Play_OpenStream(reinterpret_cast<void*>(0x1234), 4, data.data(), limit, 0));
    // Data that cannot be read is refused, not copied.
    void* freed = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    VirtualFree(freed, 0, MEM_RELEASE);
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_InputData(3, static_cast<uint8_t*>(freed), 16, 0));
    EXPECT_EQ(expected, JournalLines("SHX_PlayStrm_InputData"));
}

TEST_F(Bridge, CaptureValueCrossesAsThePathItPointsAtOrAsASmallNumber)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    // A shorter path after a longer one, then one cut at 259 bytes.
    const char longer[] = "C:\\shots\\of port 3\\port3.bmp";
    const char path[] = "C:\\shots\\port3.bmp";
    const std::string tooLong = "C:\\" + std::string(300, 'x');
    for (const char* capture : {longer, path, tooLong.c_str()})
        EXPECT_EQ(PLAY_OK, player->Play_GetPicture(3, reinterpret_cast<uintptr_t>(capture))) << capture;
    EXPECT_EQ(PLAY_OK, player->Play_GetPicture(3, 5));
    // An address with nothing behind it is refused rather than read.
    void* freed = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    VirtualFree(freed, 0, MEM_RELEASE);
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetPicture(3, reinterpret_cast<uintptr_t>(freed)));
    const std::vector<std::string> captures = JournalLines("SHX_PlayStrm_CapImageBmp");
    EXPECT_EQ((std::vector<std::string>{"SHX_PlayStrm_CapImageBmp(1, path:C:\\shots\\of port 3\\port3.bmp) -> 0",
                                        "SHX_PlayStrm_CapImageBmp(1, path:C:\\shots\\port3.bmp) -> 0",
                                        "SHX_PlayStrm_CapImageBmp(1, path:" + tooLong.substr(0, 259) + ") -> 0",
                                        "SHX_PlayStrm_CapImageBmp(1, 5) -> 0"}),
              captures);
}

// This program started again as a host; ended however the test ends, so that
// no host outlives a failed check.
struct HostProcess {
    PROCESS_INFORMATION info = {};
    ~HostProcess()
    {
        if (info.hProcess == nullptr) return;
        TerminateProcess(info.hProcess, 9);
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

// Starts this program again as a host that makes a player and then says so
// in a file; kills it once its helper exists (while the helper starts) or once
// its player is made, and expects the helper to be gone a second later.
void KillHostAndExpectNoHelper(bool whileHelperStarts)
{
    const std::string ready = Root() + (whileHelperStarts ? "starting-host-ready" : "host-ready");
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --hold-player " +
                               std::wstring(ready.begin(), ready.end()) + L" " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    HostProcess host;
    ASSERT_TRUE(CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &host.info))
        << "system error " << GetLastError();
    // A helper may take long to start where 32-bit programs are emulated.
    std::vector<DWORD> helpers;
    for (const ULONGLONG deadline = GetTickCount64() + 60000; GetTickCount64() < deadline; Sleep(5)) {
        helpers = ChildrenOf(host.info.dwProcessId);
        if (whileHelperStarts ? !helpers.empty() : std::filesystem::exists(ready)) break;
    }
    ASSERT_EQ(1u, helpers.size()) << "the host's helper";
    HANDLE helper = OpenProcess(SYNCHRONIZE, FALSE, helpers[0]);
    ASSERT_NE(nullptr, helper);
    EXPECT_EQ(whileHelperStarts, !std::filesystem::exists(ready)) << "the player was made before the host was killed";
    TerminateProcess(host.info.hProcess, 9);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(helper, 1000)) << "the helper outlived its host by a second";
    CloseHandle(helper);
}

TEST(BridgeHost, KilledHostLeavesNoHelperBehindWhileItStartsOrOnceItRuns)
{
    KillHostAndExpectNoHelper(true);
    KillHostAndExpectNoHelper(false);
}

// A file of an x86 folder: the same file of this one's, or another file of
// this folder under its name.
struct X86File {
    X86File(const char* fileName, const char* source = nullptr) : name(fileName), from(source) {}  // NOLINT: implicit
    const char* name;
    const char* from;
};

// A copy of the DLL in a folder of its own, with what its x86 folder holds
// (none: no x86 folder), answers null, leaves the system's error code for
// GetLastError and writes an error record with that code naming the file
// that failed.
void ExpectNoPlayerFor(const char* fault, std::vector<X86File> x86Files, DWORD code, const std::string& file)
{
    SCOPED_TRACE(fault);
    const std::string folder = Root() + fault + "/";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(CopyFileA("PelShx_PlaySDK.dll", (folder + "PelShx_PlaySDK.dll").c_str(), FALSE));
    if (!x86Files.empty()) std::filesystem::create_directories(folder + "x86");
    for (const X86File& x86File : x86Files) {
        const std::string from = x86File.from != nullptr ? x86File.from : std::string("x86/") + x86File.name;
        ASSERT_TRUE(CopyFileA(from.c_str(), (folder + "x86/" + x86File.name).c_str(), FALSE)) << from;
    }
    const std::string errorLog = test_files::SystemDriveRoot() + "tavo/tavo_error.log";
    const std::string before = ReadText(errorLog);
    HMODULE alone = LoadLibraryA((folder + "PelShx_PlaySDK.dll").c_str());
    ASSERT_NE(nullptr, alone);
    auto create = reinterpret_cast<PFN_CreateSinglePlayerDll>(
        reinterpret_cast<void (*)()>(GetProcAddress(alone, "CreateSinglePlayerDll")));
    ASSERT_NE(nullptr, create);
    SetLastError(ERROR_ALREADY_EXISTS);  // what a host may find there from before
    IPlayer* player = create();
    const DWORD reason = GetLastError();
    FreeLibrary(alone);
    EXPECT_EQ(nullptr, player);
    EXPECT_EQ(code, reason);
    const std::string added = ReadText(errorLog).substr(before.size());
    EXPECT_NE(std::string::npos, added.find("ErrCode:[" + std::to_string(code) + "]")) << added;
    // 播放辅助进程无法启动: the playback helper cannot be started
    const std::string notStarted = "\xb2\xa5\xb7\xc5\xb8\xa8\xd6\xfa\xbd\xf8\xb3\xcc\xce\xde\xb7\xa8\xc6\xf4\xb6\xaf";
    EXPECT_NE(std::string::npos, added.find(notStarted + "\n")) << added;
    EXPECT_NE(std::string::npos, added.find(fault + std::string("\\") + file)) << added;
}

TEST(BridgeHost, EveryFaultOfTheX86FolderGivesNoPlayerWithAReasonToRead)
{
    ExpectNoPlayerFor("no-x86-folder", {}, ERROR_PATH_NOT_FOUND, "x86\\pelshx_bridge32.exe");
    ExpectNoPlayerFor("no-helper", {"PelShx_PlaySDK.dll", "SHXStrm.dll"}, ERROR_FILE_NOT_FOUND,
                      "x86\\pelshx_bridge32.exe");
    ExpectNoPlayerFor("no-vendor-library", {"pelshx_bridge32.exe", "PelShx_PlaySDK.dll"}, ERROR_MOD_NOT_FOUND,
                      "x86\\SHXStrm.dll");
    ExpectNoPlayerFor("no-plugin", {"pelshx_bridge32.exe", "SHXStrm.dll"}, ERROR_MOD_NOT_FOUND,
                      "x86\\PelShx_PlaySDK.dll");
    ExpectNoPlayerFor("64-bit-vendor-library",
                      {"pelshx_bridge32.exe", "PelShx_PlaySDK.dll", {"SHXStrm.dll", "PelShx_PlaySDK.dll"}},
                      ERROR_BAD_EXE_FORMAT, "x86\\SHXStrm.dll");
}

}  // namespace

int main(int argc, char** argv)
{
    // The host of KillHostAndExpectNoHelper: it holds its player until it is
    // killed, or until the test that started it has ended.
    if (argc == 4 && std::string(argv[1]) == "--hold-player") {
        HANDLE test = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
        HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
        auto create = reinterpret_cast<PFN_CreateSinglePlayerDll>(
            reinterpret_cast<void (*)()>(GetProcAddress(plugin, "CreateSinglePlayerDll")));
        if (test == nullptr || create == nullptr || create() == nullptr) return 1;
        WriteText(argv[2], "ready");
        WaitForSingleObject(test, INFINITE);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
