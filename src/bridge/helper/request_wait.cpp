#include "bridge/helper/request_wait.h"

using namespace bridge;

RequestWait::RequestWait(ControlBlock& block, const PlayerCalls& playerCalls, HANDLE requestEvent,
                         HANDLE responseEvent)
    : control(block), calls(playerCalls), request(requestEvent), response(responseEvent), seen(block.handOvers),
      pollLimit(ClockTicks(block.pollMicroseconds))
{
}

bool RequestWait::Next(bool answered)
{
    const bool wakeBridge = answered && control.bridgeAsleep.exchange(0) != 0;
    if (!backToBack) return SleepOnEvent(wakeBridge);
    if (wakeBridge && !SetEvent(response)) return false;
    if (!Poll(pollLimit, [this] { return HandedOver(); })) return SleepOnEvent(false);
    Take();
    return true;
}

// Sleeps on the request event, announced, waking the bridge on the way in one
// step when it sleeps too.
bool RequestWait::SleepOnEvent(bool wakeBridge)
{
    for (;;) {
        control.helperAsleep = 1;
        if (HandedOver()) break;
        const DWORD woken = wakeBridge ? SignalObjectAndWait(response, request, INFINITE, FALSE)
                                       : WaitForSingleObject(request, INFINITE);
        if (woken != WAIT_OBJECT_0) return false;
        wakeBridge = false;
    }
    control.helperAsleep = 0;
    if (wakeBridge && !SetEvent(response)) return false;
    Take();
    return true;
}

// Notes what came, and whether a request came right after the bridge took
// the answer before it.
void RequestWait::Take()
{
    seen = control.handOvers;
    const CallRecord& first = control.calls[0];
    if (calls.Requested(0)) backToBack = pollLimit > 0 && first.handedAt - first.receivedAt <= pollLimit;
}
