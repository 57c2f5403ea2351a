// Binding ports to vendor channels. A binding lasts for the player's life.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

#include <algorithm>

bool ShxPlayer::FindChannel(int32_t port, int32_t& channel) const
{
    const auto binding = portChannels.find(port);
    if (binding == portChannels.end()) return false;
    channel = binding->second;
    return true;
}

int32_t ShxPlayer::SetPlayPort(int32_t port, int32_t& channel)
{
    int32_t candidate = 0;
    while (candidate < MAX_CHANNELS &&
           std::find(usedChannels.begin(), usedChannels.end(), candidate) != usedChannels.end())
        ++candidate;
    // The free-channel search comes first: with every channel bound even a
    // port that has a binding gets 0.
    if (candidate == MAX_CHANNELS) return 0;
    if (portChannels.count(port) != 0) return 1;

    // Both containers change together or not at all: the list node is made
    // first, the map entry may fail, and the splice cannot.
    std::list<int32_t> node{candidate};
    portChannels.emplace(port, candidate);
    usedChannels.splice(usedChannels.end(), node);
    channel = candidate;
    return 1;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetOpenMode(int32_t port, int32_t /*openMode*/)
try {
    static constexpr Operation kOperation{texts::kSetOpenMode, "Play_SetOpenMode", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (portChannels.count(port) != 0) return PLAY_OK;
    int32_t channel = 0;
    if (SetPlayPort(port, channel) == 1) return PLAY_OK;
    return TranslateShxResult(kReportingSource, __LINE__, 0, "Play_SetOpenMode()");
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}
