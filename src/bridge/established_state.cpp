#include "bridge/established_state.h"

#include "bridge/bridge_protocol.h"
#include "PelShx_PlaySDK.h"

#include <algorithm>

namespace bridge {

namespace {

constexpr int32_t kStepState = 9;

bool IsPort(int32_t port)
{
    return port >= 0 && port < PLAY_MAX_PORTS;
}

}  // namespace

void EstablishedState::MakeRoomFor(int32_t slot, const int32_t* args, uint32_t dataSize)
{
    if (slot == kOpenStream && IsPort(args[1])) ports[args[1]].openBuffer.reserve(dataSize);
}

void EstablishedState::Note(int32_t slot, const int32_t* args, int32_t result, const uint8_t* openBuffer)
{
    switch (slot) {
    case kInit:
        // -1: the system drive was not found and nothing happened.
        if (result == -1) return;
        initialised = true;
        initValue = args[0];
        uninitialisedLast = false;
        return;
    case kUninit: uninitialisedLast = true; return;
    case kOpenStream:
        if (IsPort(args[1])) NoteOpen(ports[args[1]], args, result, openBuffer);
        return;
    default: break;
    }
    if (result != PLAY_OK || !IsPort(args[0])) return;
    const int32_t portNumber = args[0];
    Port& port = ports[portNumber];
    switch (slot) {
    case kSetOpenMode:
        for (int i = 0; i < boundCount; ++i)
            if (boundPorts[i] == portNumber) return;
        if (boundCount == PLAY_MAX_CHANNELS) return;
        boundPorts[boundCount] = portNumber;
        openModes[boundCount] = args[1];
        ++boundCount;
        return;
    case kSetOverlayMode:
        port.overlay = true;
        colorKey = static_cast<uint32_t>(args[1]);
        return;
    case kSetVolume:
        port.hasVolume = true;
        port.volume = args[1];
        port.volumeOrder = ++volumeCount;
        return;
    case kCloseStream:
        port.open = false;
        port.playState = 0;
        return;
    case kPlayState: NotePlayState(port, args[1]); return;
    case kInputData:
        // An input let through in step mode uses up the step.
        if (port.playState == kStepState) port.stepAllowed = false;
        return;
    default: return;
    }
}

void EstablishedState::NoteOpen(Port& port, const int32_t* args, int32_t result, const uint8_t* openBuffer)
{
    if (result != PLAY_OK) {
        // A failed open of a playing port may have closed it before it failed,
        // or not: the port is taken as closed, so that no replay starts a
        // stream the host may believe stopped.
        if (port.open) {
            port.open = false;
            port.playState = 0;
        }
        return;
    }
    port.open = true;
    port.playState = 1;
    port.window = args[0];
    port.reserved = args[4];
    const uint32_t size = static_cast<uint32_t>(args[3]);
    port.openBuffer.assign(openBuffer, openBuffer + size);
}

void EstablishedState::NotePlayState(Port& port, int32_t type)
{
    if (type == kStepState) {
        // Entering step mode grants nothing; each further step grants one input.
        port.stepAllowed = port.playState == kStepState;
        port.playState = kStepState;
    } else if (type >= 1 && type < kStepState) {
        port.playState = type;
    }
}

std::vector<ReplayStep> EstablishedState::Replay() const
{
    std::vector<ReplayStep> steps;
    if (initialised) steps.push_back({kInit, {initValue}, nullptr});
    steps.push_back({kWriteRestartRecord, {initialised ? 1 : 0}, nullptr});
    // In the order they were bound, so that each port gets its old channel.
    for (int i = 0; i < boundCount; ++i) steps.push_back({kSetOpenMode, {boundPorts[i], openModes[i]}, nullptr});
    for (int32_t number = 0; number < PLAY_MAX_PORTS; ++number)
        if (ports[number].overlay)
            steps.push_back({kSetOverlayMode, {number, static_cast<int32_t>(colorKey)}, nullptr});
    for (int32_t number = 0; number < PLAY_MAX_PORTS; ++number) {
        const Port& port = ports[number];
        if (!port.open) continue;
        const int32_t size = static_cast<int32_t>(port.openBuffer.size());
        steps.push_back({kOpenStream, {port.window, number, 0, size, port.reserved}, &port.openBuffer});
        if (port.playState == 1) continue;
        steps.push_back({kPlayState, {number, port.playState}, nullptr});
        if (port.playState == kStepState && port.stepAllowed) steps.push_back({kPlayState, {number, kStepState}, nullptr});
    }
    // Oldest first, so that the level the player keeps is the last one set.
    std::array<int32_t, PLAY_MAX_PORTS> withVolume{};
    int count = 0;
    for (int32_t number = 0; number < PLAY_MAX_PORTS; ++number)
        if (ports[number].hasVolume) withVolume[count++] = number;
    std::sort(withVolume.begin(), withVolume.begin() + count,
              [this](int32_t a, int32_t b) { return ports[a].volumeOrder < ports[b].volumeOrder; });
    for (int i = 0; i < count; ++i) steps.push_back({kSetVolume, {withVolume[i], ports[withVolume[i]].volume}, nullptr});
    if (uninitialisedLast) steps.push_back({kUninit, {}, nullptr});
    return steps;
}

bool CrashHistory::NoteEnd(uint64_t milliseconds)
{
    if (count == kLimit) {
        for (int i = 1; i < kLimit; ++i) ends[i - 1] = ends[i];
        --count;
    }
    ends[count++] = milliseconds;
    return count == kLimit && milliseconds - ends[0] <= kWindowMilliseconds;
}

}  // namespace bridge
