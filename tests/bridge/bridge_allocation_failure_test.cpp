// Allocation failures through the 64-bit DLL, as a 64-bit host meets them: in
// the DLL itself, whose own imports of the C runtime's allocation functions
// fail on request, and in the helper, here the tests' build of the shipped
// helper, which fails its own allocations and those of the plug-in it loads
// on request through a switch in shared memory. Each call answers as in
// process, or PLAY_ERR_UNKNOWN with nothing changed; no file stays open in
// either process; the helper never ends, and neither does the host.

#include "PelShx_PlaySDK.h"
#include "bridge/bridge_fixture.h"
#include "support/allocation_faults_win32.h"
#include "support/allocation_sweep.h"
#include "support/file_helpers.h"
#include "support/process_figures.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

allocation_faults::Switch allocation_faults::inProcess;

namespace {

namespace fs = std::filesystem;
using allocation_faults::inProcess;
using allocation_faults::Switch;

constexpr int32_t kPort = 6;
const uint8_t kData[16] = {0x00, 0x00, 0x01, 0xBA};

// The helper this process started; 0 unless exactly one runs.
DWORD Helper()
{
    const std::vector<DWORD> children = bridge_test::ChildrenOf(GetCurrentProcessId());
    return children.size() == 1 ? children[0] : 0;
}

// The helper's switch, in memory shared with every helper this process
// starts, which finds it through the environment they inherit.
class SharedSwitch {
public:
    SharedSwitch()
    {
        const std::string name = "Local\\pelshx_allocation_faults_" + std::to_string(GetCurrentProcessId());
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Switch), name.c_str());
        faults = new (MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Switch))) Switch();
        SetEnvironmentVariableA("PELSHX_ALLOCATION_FAULTS", name.c_str());
    }
    ~SharedSwitch()
    {
        SetEnvironmentVariableA("PELSHX_ALLOCATION_FAULTS", nullptr);
        UnmapViewOfFile(faults);
        CloseHandle(mapping);
    }
    SharedSwitch(const SharedSwitch&) = delete;
    SharedSwitch& operator=(const SharedSwitch&) = delete;

    Switch& Faults() { return *faults; }

private:
    HANDLE mapping = nullptr;
    Switch* faults = nullptr;
};

class BridgeAllocationFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The 64-bit DLL beside an x86 folder whose helper is the tests' build.
        const fs::path folder = fs::u8path(bridge_test::Root() + "bridge");
        fs::create_directories(folder / "x86");
        const auto copy = [&](const fs::path& from, const fs::path& to) {
            fs::copy_file(from, folder / to, fs::copy_options::overwrite_existing);
        };
        copy("PelShx_PlaySDK.dll", "PelShx_PlaySDK.dll");
        copy("x86/PelShx_PlaySDK.dll", "x86/PelShx_PlaySDK.dll");
        copy("x86/SHXStrm.dll", "x86/SHXStrm.dll");
        copy("x86/pelshx_bridge32_allocation_faults.exe", "x86/pelshx_bridge32.exe");
        traceDirectory = bridge_test::Root() + "trace/";
        test_files::WriteText(test_files::SystemDriveRoot() + "tavo/cfg/TAVO.cfg",
                              "[GLOBAL]\n[TRACE_PATH] [" + traceDirectory + "]\n[DEBUG_LEVEL] [2]\n");

        bridge = LoadLibraryW((folder / "PelShx_PlaySDK.dll").wstring().c_str());
        ASSERT_NE(nullptr, bridge);
        ASSERT_TRUE(allocation_faults::RedirectAllocations(bridge, inProcess));
        create = reinterpret_cast<PFN_CreateSinglePlayerDll>(
            reinterpret_cast<void (*)()>(GetProcAddress(bridge, "CreateSinglePlayerDll")));
        release = reinterpret_cast<PFN_ReleaseSinglePlayerDll>(
            reinterpret_cast<void (*)()>(GetProcAddress(bridge, "ReleaseSinglePlayerDll")));
        ASSERT_TRUE(create != nullptr && release != nullptr);
    }

    void TearDown() override
    {
        if (player != nullptr) release(player);
        FreeLibrary(bridge);
    }

    // A player with Play_Init done and kPort bound and open.
    void StartPort()
    {
        player = create();
        ASSERT_NE(nullptr, player);
        ASSERT_EQ(PLAY_OK, player->Play_Init(0));
        ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(kPort, 0));
        ASSERT_EQ(PLAY_OK, player->Play_OpenStream(nullptr, kPort, kData, sizeof kData, 0));
        helper = Helper();
        ASSERT_NE(0u, helper);
    }

    // The files open in this process and in its helper.
    int64_t OpenFilesOfBoth() const { return OpenFiles(GetCurrentProcessId()) + OpenFiles(helper); }

    std::string ErrorLog() const { return test_files::ReadText(traceDirectory + "PelShx_Player_Error.log"); }

    SharedSwitch inHelper;
    std::string traceDirectory;
    HMODULE bridge = nullptr;
    PFN_CreateSinglePlayerDll create = nullptr;
    PFN_ReleaseSinglePlayerDll release = nullptr;
    IPlayer* player = nullptr;
    DWORD helper = 0;
};

// Every slot at debug level 2, on a bound and open port, binding another one,
// and the first open of that one, with the allocations failing in the helper
// (the plug-in's and its own), then in the 64-bit DLL, which keeps a copy of
// each port's open buffer for a new helper.
TEST_F(BridgeAllocationFailure, EverySlotAnswersAsInProcessOrUnknownWithNothingChanged)
{
    ASSERT_NO_FATAL_FAILURE(StartPort());
    const struct {
        Switch& faults;
        int32_t otherPort;
        std::vector<std::string> allocating;
    } sides[] = {{inHelper.Faults(), 8, {"Play_Init", "Play_SetOpenMode"}},
                 {inProcess, 10, {"first Play_OpenStream of the other port"}}};
    for (const auto& side : sides) {
        SCOPED_TRACE(&side.faults == &inProcess ? "failing in the 64-bit DLL" : "failing in the helper");
        std::vector<NamedCall> calls = EverySlot(player, kPort, side.otherPort, kData, sizeof kData);
        calls.emplace_back("first Play_OpenStream of the other port",
                           [&] { return player->Play_OpenStream(nullptr, side.otherPort, kData, sizeof kData, 0); });
        const AllocationSweep sweep{side.faults, [&] { return OpenFilesOfBoth(); }, kOnlyOneFails};
        std::vector<std::string> allocating;
        for (const auto& [name, call] : calls) {
            SCOPED_TRACE(name);
            const std::vector<int32_t> before = PlayerState(player, kPort, side.otherPort);
            const auto unchanged = [&] { EXPECT_EQ(before, PlayerState(player, kPort, side.otherPort)); };
            if (sweep.FailEachAllocationOf(call, PLAY_OK, unchanged) > 0) allocating.push_back(name);
        }
        EXPECT_EQ(side.allocating, allocating);
    }
    EXPECT_EQ(helper, Helper()) << "the helper of the start still runs";
    EXPECT_EQ(std::string::npos, ErrorLog().find("PelShxBridge")) << "no record of a helper's end";
}

}  // namespace
