#include "bench_cases.h"

#include "config/paths.h"
#include "config/player_settings.h"
#include "vendor/shx_strm.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace bench {

namespace {

namespace fs = std::filesystem;

constexpr int32_t kPort = 7;
const uint8_t kPacket[1024] = {0x00, 0x00, 0x01, 0xBA};
// The first line of every configuration file this program writes.
const char kMark[] = "# written for the player benchmark; removed when it ends";
// Inputs whose vendor calls are made again, in turn: every pattern of period up to 6 repeats in them.
constexpr int kRecordedInputs = 60;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);  // text mode: the line breaks as the program writes them
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string RuntimeLog(const Drive& drive)
{
    return drive.TraceDirectory() + player_settings::kRuntimeLogName;
}

std::string ErrorLog(const Drive& drive)
{
    return drive.TraceDirectory() + player_settings::kErrorLogName;
}

}  // namespace

Drive::Drive()
{
#ifdef _WIN32
    GetSystemDriveRoot(root);
#else
    char directory[] = "/tmp/pelshx-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) std::abort();
    setenv("PELSHX_SYSTEM_ROOT", directory, 1);
    root = std::string(directory) + "/";
#endif
    configFile = ConfigFilePath(root);
}

Drive::~Drive()
{
    std::error_code ignored;
    if (ReadText(configFile).rfind(kMark, 0) == 0) fs::remove(configFile, ignored);
    fs::remove_all(TraceDirectory(), ignored);
#ifndef _WIN32
    fs::remove_all(root, ignored);
#endif
}

bool Drive::Usable(std::string& error) const
{
    std::error_code ignored;
    if (!fs::exists(configFile, ignored) || ReadText(configFile).rfind(kMark, 0) == 0) return true;
    error = configFile + " is there already; this program writes that file for its runs and leaves one it did not "
                         "write alone: run it where there is none, such as a Wine prefix of its own (scripts/bench.sh)";
    return false;
}

void Drive::Configure(int debugLevel) const
{
    std::error_code ignored;
    fs::create_directories(fs::path(configFile).parent_path(), ignored);
    fs::create_directories(TraceDirectory(), ignored);
    std::ofstream(configFile) << kMark << "\n[GLOBAL]\n[TRACE_PATH] [" << TraceDirectory() << "]\n[DEBUG_LEVEL] ["
                              << debugLevel << "]\n";
}

StartedPlayer::StartedPlayer(const Drive& drive, int debugLevel) : player(CreateSinglePlayerDll())
{
    drive.Configure(debugLevel);
    if (player == nullptr || player->Play_Init(0) != 0 || player->Play_SetOpenMode(kPort, 0) != PLAY_OK ||
        player->Play_OpenStream(nullptr, kPort, kPacket, sizeof kPacket, 0) != PLAY_OK)
        std::abort();
    ShxStandin_Reset();
}

StartedPlayer::~StartedPlayer()
{
    player->Play_CloseStream(kPort);
    player->Play_Uninit();
    ReleaseSinglePlayerDll(player);
}

int32_t StartedPlayer::Input()
{
    return player->Play_InputData(kPort, kPacket, sizeof kPacket, 'A');
}

int32_t StartedPlayer::RefusedCall()
{
    int32_t volume = 0;
    return player->Play_GetVolume(-1, &volume);
}

SameVendorCalls::SameVendorCalls(const Drive& drive, bool inputsOnly)
{
    StartedPlayer player(drive, 0);
    for (int i = 0; i < kRecordedInputs; ++i) player.Input();
    ShxCall call{};
    for (int32_t index = 0; ShxStandin_GetCall(index, &call) == 0; ++index)
        if (!inputsOnly || call.function == SHX_INPUT_DATA) calls.push_back(call);
    ShxStandin_ForgetCalls();
}

void SameVendorCalls::operator()()
{
    for (bool input = false; !input; next = (next + 1) % calls.size()) {
        const int64_t* args = calls[next].args;
        switch (calls[next].function) {
        case SHX_SET_WND:
            SHX_PlayStrm_SetWnd(static_cast<int32_t>(args[0]), reinterpret_cast<void*>(static_cast<uintptr_t>(args[1])),
                                static_cast<int32_t>(args[2]));
            break;
        case SHX_INPUT_DATA:
            SHX_PlayStrm_InputData(static_cast<int32_t>(args[0]),
                                   reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(args[1])),
                                   static_cast<uint32_t>(args[2]), static_cast<int32_t>(args[3]),
                                   static_cast<int32_t>(args[4]), static_cast<int32_t>(args[5]),
                                   static_cast<int32_t>(args[6]));
            input = true;
            break;
        default: std::abort();  // an input made another call: add it here
        }
    }
    journal.Count();
}

RecordByHand::RecordByHand(const Drive& drive, bool errorRecord)
    : path(errorRecord ? ErrorLog(drive) : RuntimeLog(drive))
{
    StartedPlayer player(drive, errorRecord ? 0 : 2);
    std::remove(path.c_str());
    if (errorRecord)
        player.RefusedCall();
    else
        player.Input();
    text = ReadText(path);
    if (text.empty()) std::abort();
}

void RecordByHand::operator()() const
{
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) std::abort();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

const Comparison kComparisons[4] = {
    {"InputData/level0", "SameVendorCalls", "Play_InputData, debug level 0 / the same vendor calls"},
    {"InputData/level2", "RecordAndVendorCallsByHand",
     "Play_InputData, debug level 2 / its runtime record by hand and the same vendor calls"},
    {"ErrorRecord", "ErrorRecordByHand", "a refused call writing one error record / its bytes by hand"},
    {"InputData/level0", "InputCallAlone", "Play_InputData, debug level 0 / the input call alone"},
};

}  // namespace bench
