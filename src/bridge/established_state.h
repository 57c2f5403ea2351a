#pragma once

// What the host has established in the plug-in, as far as a new helper must be
// brought back to it: kept by the bridge from the answers to the host's calls,
// and replayed, in an order that gives every port its old channel, when a
// helper has ended and another takes its place.

#include "playback/channel_bindings.h"

#include <array>
#include <cstdint>
#include <vector>

namespace bridge {

// One call of a replay: an IPlayer slot, or kWriteRestartRecord, with its
// arguments as forwarded; data is the open buffer of a Play_OpenStream.
struct ReplayStep {
    int32_t request;
    int32_t args[5];
    const std::vector<uint8_t>* data;
};

class EstablishedState {
public:
    // Makes room for what noting the call will keep (the copy of an open
    // buffer of `dataSize` bytes) before the call goes to the helper: noting
    // its answer then needs no memory, and a call that finds none fails
    // before anything changed.
    void MakeRoomFor(int32_t slot, const int32_t* args, uint32_t dataSize);

    // Takes note of a call the helper answered: args as forwarded, and for
    // Play_OpenStream the open buffer that went with it.
    void Note(int32_t slot, const int32_t* args, int32_t result, const uint8_t* openBuffer = nullptr);

    // The calls that bring a new helper to this state, with the request for
    // the restart record right after Play_Init (or first, without one). The
    // steps point into this state: it must outlive them unchanged.
    std::vector<ReplayStep> Replay() const;

    // True once Play_Init has run: the logs are then where the configuration says.
    bool Initialised() const { return initialised; }

private:
    struct Port {
        bool overlay = false;
        bool open = false;
        int32_t playState = 0;
        bool stepAllowed = false;
        int32_t window = 0;
        int32_t reserved = 0;
        std::vector<uint8_t> openBuffer;  // kept for the replay, reused by later opens
        bool hasVolume = false;
        int32_t volume = 0;
        uint64_t volumeOrder = 0;  // when the volume was last set
    };

    void NoteOpen(Port& port, const int32_t* args, int32_t result, const uint8_t* openBuffer);
    void NotePlayState(Port& port, int32_t type);

    bool initialised = false;
    int32_t initValue = 0;
    bool uninitialisedLast = false;
    // Bound ports in the order they were bound, with their open modes.
    std::array<int32_t, PLAY_MAX_CHANNELS> boundPorts{};
    std::array<int32_t, PLAY_MAX_CHANNELS> openModes{};
    int boundCount = 0;
    uint32_t colorKey = 0;
    uint64_t volumeCount = 0;
    std::array<Port, PLAY_MAX_PORTS> ports;
};

// Helpers that end too often are not started again: three ends within a
// minute stop the bridge until the player is made anew.
class CrashHistory {
public:
    static constexpr int kLimit = 3;
    static constexpr uint64_t kWindowMilliseconds = 60000;

    // Notes an end at the given time; true when the bridge must stop.
    bool NoteEnd(uint64_t milliseconds);

private:
    std::array<uint64_t, kLimit> ends{};
    int count = 0;
};

}  // namespace bridge
