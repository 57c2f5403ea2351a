#pragma once

// The parts of the hand-over (bridge_protocol.h) both sides share: its clock
// and the bounded poll.

#include <windows.h>

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

}  // namespace bridge
