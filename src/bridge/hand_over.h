#pragma once

// The parts of the hand-over (bridge_protocol.h) both sides share: its clock,
// the poll budget, the bounded poll and the wake of a side that sleeps.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace bridge {

// QueryPerformanceCounter's ticks: one clock for every process of the machine.
inline int64_t HandOverClock()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline int64_t ClockTicks(uint32_t microseconds)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart * microseconds / 1000000;
}

// How long a side polls before it sleeps on its event: twice as long as its
// last wait lasted, with a little room for a wait of nothing, at most the
// limit; not at all when that wait was longer than the longest worth a poll,
// or the limit is 0.
class PollBudget {
public:
    PollBudget() = default;
    PollBudget(int64_t limitTicks, int64_t longestTicks) : limit(limitTicks), longest(longestTicks) {}
    void Note(int64_t waited)
    {
        ticks = waited <= longest ? std::min(limit, 2 * std::max<int64_t>(waited, 0) + limit / 10) : 0;
    }
    int64_t Ticks() const { return ticks; }

private:
    int64_t limit = 0;
    int64_t longest = 0;
    int64_t ticks = 0;
};

// Looks until ready() holds or budget ticks have passed, letting any other
// thread that wants this CPU have it between looks: true when ready.
template <typename Ready>
bool Poll(int64_t budget, Ready ready)
{
    if (budget <= 0) return false;
    const int64_t end = HandOverClock() + budget;
    do {
        if (ready()) return true;
        SwitchToThread();
    } while (HandOverClock() < end);
    return ready();
}

// After the store that publishes what the other side waits for: wakes it
// when it announced a sleep on its event. False when the event cannot be set.
inline bool Wake(std::atomic<uint32_t>& asleep, HANDLE event)
{
    return asleep.exchange(0) == 0 || SetEvent(event) != FALSE;
}

}  // namespace bridge
