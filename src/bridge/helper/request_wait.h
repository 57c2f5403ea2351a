#pragma once

// The helper's wait between two calls (bridge_protocol.h): it tells the
// bridge the answer it just stored, then polls for the next hand-over while
// requests have been coming back to back, else sleeps on the request event
// at once.

#include "bridge/bridge_protocol.h"
#include "bridge/hand_over.h"
#include "bridge/helper/player_calls.h"

#include <windows.h>

class RequestWait {
public:
    // Made before the helper answers that it is ready: every later hand-over is news.
    RequestWait(bridge::ControlBlock& block, const PlayerCalls& playerCalls, HANDLE requestEvent, HANDLE responseEvent);

    // Returns once the bridge has handed something over: a request at depth
    // 0, or a nested call posted to the helper's window. answered: the call
    // at depth 0 has just been answered, and a bridge asleep is woken for it.
    // False when an event fails.
    bool Next(bool answered);

private:
    bool HandedOver() const { return control.handOvers != seen; }
    void Take();
    bool SleepOnEvent(bool wakeBridge);

    bridge::ControlBlock& control;
    const PlayerCalls& calls;
    HANDLE request;
    HANDLE response;
    uint32_t seen;
    int64_t pollLimit;
    bool backToBack = false;
};
