#include "bench_player.h"

#include "config/paths.h"
#include "config/player_settings.h"

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
}  // namespace

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);  // text mode: the line breaks as the program writes them
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
}

StartedPlayer::~StartedPlayer()
{
    player->Play_CloseStream(kPort);
    player->Play_Uninit();
    ReleaseSinglePlayerDll(player);
}

int32_t StartedPlayer::Input()
{
    return Input(kPacket, sizeof kPacket);
}

int32_t StartedPlayer::Input(const uint8_t* data, uint32_t size)
{
    return player->Play_InputData(kPort, data, size, 'A');
}

int32_t StartedPlayer::RefusedCall()
{
    int32_t volume = 0;
    return player->Play_GetVolume(-1, &volume);
}

}  // namespace bench
