#pragma once

// Which vendor channel each port is bound to. A port is bound to the lowest
// free channel and keeps it for the player's life.

#include "PelShx_PlaySDK.h"

#include <cstdint>
#include <list>

class ChannelBindings {
public:
    static constexpr int32_t kUnbound = -1;

    ChannelBindings();

    // The port's channel, or kUnbound. The port must be one of the PLAY_MAX_PORTS.
    int32_t ChannelOf(int32_t port) const { return portChannels[port]; }

    // Binds the port to the lowest free channel. True when the port is bound
    // afterwards; false when no channel is free, even for a port that is bound
    // already, because the search for a free channel comes first.
    bool SetPlayPort(int32_t port);

private:
    int32_t LowestFreeChannel() const;

    std::list<int32_t> usedChannels;  // in binding order
    int32_t portChannels[PLAY_MAX_PORTS];  // kept in step with usedChannels, for the per-call lookup
};
