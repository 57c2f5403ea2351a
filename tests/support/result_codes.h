#pragma once

// The result codes the interface documents; anything else from a slot is a fault.

#include "PelShx_PlaySDK.h"

inline bool IsResultCode(int32_t result)
{
    switch (result) {
    case PLAY_OK:
    case PLAY_ERR_PARAM:
    case PLAY_ERR_NOT_OPEN:
    case PLAY_ERR_BUFFER:
    case PLAY_ERR_MAX_STREAMS:
    case PLAY_ERR_UNKNOWN: return true;
    default: return false;
    }
}
