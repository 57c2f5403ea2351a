#pragma once

// Allocation failures swept over the player's calls, in process or through
// the 64-bit bridge: each call is made again with the first, second, ...
// allocation failing until it gets through.

#include "PelShx_PlaySDK.h"
#include "support/allocation_faults.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct AllocationSweep {
    allocation_faults::Switch& faults;
    // The files open in the process whose allocations fail (and in a process it works through).
    std::function<int64_t()> openFiles;
    // Whether the failing allocation fails alone, or every one from it on.
    bool onlyOneFails;

    // Calls `call` with the first, second, ... allocation failing until it
    // gets through. A failed allocation either costs only a log record, and
    // the call answers as usual, or makes it answer PLAY_ERR_UNKNOWN with
    // nothing changed (as `checkUnchanged` sees it); no file stays open either
    // way. Returns how many attempts met a failure.
    int FailEachAllocationOf(const std::function<int32_t()>& call, int32_t usualResult,
                             const std::function<void()>& checkUnchanged) const;
};

// Every allocation from the failing one on fails, as when memory has run out,
// natively; on Windows the failing one alone. GCC's C++ runtime for MinGW
// cannot throw once no memory at all is left: the lock of its emergency
// reserve for exceptions takes memory the first time it is taken, and failing
// to take it throws again, until the stack overflows.
#ifdef _WIN32
constexpr bool kOnlyOneFails = true;
#else
constexpr bool kOnlyOneFails = false;
#endif

// Every one of the 26 slots as a named call that answers PLAY_OK on `port`,
// bound and open with `data` as its open buffer: inputs `data` and binds
// `unboundPort` (with no other port bound since), so that the calls that
// allocate for a binding do so.
using NamedCall = std::pair<std::string, std::function<int32_t()>>;
std::vector<NamedCall> EverySlot(IPlayer* player, int32_t port, int32_t unboundPort, const uint8_t* data,
                                 uint32_t size);

// What later calls tell of the player: the port's play state and the volume
// (each with its result), and whether `otherPort` is bound and open (what
// refreshing it and reading its play state answer).
std::vector<int32_t> PlayerState(IPlayer* player, int32_t port, int32_t otherPort);
