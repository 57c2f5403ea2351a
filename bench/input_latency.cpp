#include "input_latency.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

namespace {

constexpr int kWarmUpCalls = 200;
constexpr int kTimedCalls = 3000;

// Microseconds of each call, sorted.
std::vector<double> TimeInputs(StartedPlayer& player, const std::vector<uint8_t>& data)
{
    const auto size = static_cast<uint32_t>(data.size());
    for (int i = 0; i < kWarmUpCalls; ++i) player.Input(data.data(), size);
    std::vector<double> times;
    times.reserve(kTimedCalls);
    for (int i = 0; i < kTimedCalls; ++i) {
        const auto before = std::chrono::steady_clock::now();
        player.Input(data.data(), size);
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - before;
        times.push_back(spent.count());
    }
    std::sort(times.begin(), times.end());
    return times;
}

}  // namespace

void PrintInputLatencies(const Drive& drive)
{
    StartedPlayer player(drive, 0);
    for (std::size_t size : {std::size_t{1024}, std::size_t{65536}}) {
        std::vector<uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 31);
        const std::vector<double> times = TimeInputs(player, data);
        std::printf("Play_InputData %5u bytes: median %8.1f us, 90th percentile %8.1f us (%d calls)\n",
                    static_cast<unsigned>(size), times[times.size() / 2], times[times.size() * 9 / 10], kTimedCalls);
        std::fflush(stdout);
    }
}

}  // namespace bench
