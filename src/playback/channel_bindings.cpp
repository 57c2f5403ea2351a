#include "playback/channel_bindings.h"

#include <algorithm>

ChannelBindings::ChannelBindings()
{
    std::fill(std::begin(portChannels), std::end(portChannels), kUnbound);
}

int32_t ChannelBindings::LowestFreeChannel() const
{
    int32_t candidate = 0;
    while (candidate < PLAY_MAX_CHANNELS &&
           std::find(usedChannels.begin(), usedChannels.end(), candidate) != usedChannels.end())
        ++candidate;
    return candidate;
}

bool ChannelBindings::SetPlayPort(int32_t port)
{
    const int32_t candidate = LowestFreeChannel();
    if (candidate == PLAY_MAX_CHANNELS) return false;
    if (portChannels[port] != kUnbound) return true;

    // The list node may fail to allocate; the table entry is written once it
    // exists, so a failed binding leaves both as they were.
    usedChannels.push_back(candidate);
    portChannels[port] = candidate;
    return true;
}
