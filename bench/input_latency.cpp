// The time of one Play_InputData at debug level 0, call by call, for a host
// of either kind: built for 32-bit Windows it measures the plug-in in
// process, built for 64-bit Windows the bridge to the helper. Loads
// PelShx_PlaySDK.dll from its own folder, writes the configuration for the
// run (logs in a directory of the temporary folder) and puts the previous
// one back afterwards.
//
// Prints one line per data size: "input BYTES median_us P90_us".

#include "PelShx_PlaySDK.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUpCalls = 200;
constexpr int kTimedCalls = 3000;

std::string SystemDriveRoot()
{
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, sizeof directory);
    return std::string(directory, 2) + "\\";
}

std::string ReadFile(const std::string& file, bool& existed)
{
    std::ifstream in(file, std::ios::binary);
    existed = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Microseconds of each call, sorted.
std::vector<double> TimeInputs(IPlayer* player, const std::vector<uint8_t>& data)
{
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < kWarmUpCalls; ++i) player->Play_InputData(0, data.data(), static_cast<uint32_t>(data.size()), 0);
    std::vector<double> times;
    times.reserve(kTimedCalls);
    for (int i = 0; i < kTimedCalls; ++i) {
        QueryPerformanceCounter(&before);
        player->Play_InputData(0, data.data(), static_cast<uint32_t>(data.size()), 0);
        QueryPerformanceCounter(&after);
        times.push_back(static_cast<double>(after.QuadPart - before.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    return times;
}

}  // namespace

int main()
{
    const std::string config = SystemDriveRoot() + "tavo\\cfg\\TAVO.cfg";
    char temporary[MAX_PATH] = {};
    GetTempPathA(sizeof temporary, temporary);
    bool existed = false;
    const std::string previous = ReadFile(config, existed);
    CreateDirectoryA((SystemDriveRoot() + "tavo").c_str(), nullptr);
    CreateDirectoryA((SystemDriveRoot() + "tavo\\cfg").c_str(), nullptr);
    std::ofstream(config, std::ios::trunc) << "[GLOBAL]\n[TRACE_PATH] [" << temporary
                                           << "pelshx-latency]\n[DEBUG_LEVEL] [0]\n";

    int status = 1;
    HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    auto create = plugin == nullptr ? nullptr
                                    : reinterpret_cast<PFN_CreateSinglePlayerDll>(reinterpret_cast<void (*)()>(
                                          GetProcAddress(plugin, "CreateSinglePlayerDll")));
    auto release = plugin == nullptr ? nullptr
                                     : reinterpret_cast<PFN_ReleaseSinglePlayerDll>(reinterpret_cast<void (*)()>(
                                           GetProcAddress(plugin, "ReleaseSinglePlayerDll")));
    if (IPlayer* player = create != nullptr && release != nullptr ? create() : nullptr) {
        const uint8_t head[64] = {};
        if (player->Play_Init(0) == PLAY_OK && player->Play_SetOpenMode(0, 0) == PLAY_OK &&
            player->Play_OpenStream(nullptr, 0, head, sizeof head, 0) == PLAY_OK) {
            for (std::size_t size : {std::size_t{1024}, std::size_t{65536}}) {
                std::vector<uint8_t> data(size);
                for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 31);
                const std::vector<double> times = TimeInputs(player, data);
                std::printf("input %u %.2f %.2f\n", static_cast<unsigned>(size), times[times.size() / 2],
                            times[times.size() * 9 / 10]);
            }
            player->Play_CloseStream(0);
            player->Play_Uninit();
            status = 0;
        }
        release(player);
    } else {
        std::fprintf(stderr, "PelShx_PlaySDK.dll, its exports or a player cannot be had\n");
    }
    if (existed)
        std::ofstream(config, std::ios::binary | std::ios::trunc) << previous;
    else
        DeleteFileA(config.c_str());
    return status;
}
