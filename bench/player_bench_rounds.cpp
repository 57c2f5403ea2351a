// The same comparisons as player_bench (bench_cases.h) for Windows builds,
// where Google Benchmark is not at hand: the plug-in as built, in its DLL. Each
// comparison alternates rounds of plug-in calls with rounds of its counterpart,
// each side first in every other round, and compares the medians of the
// rounds' wall times per call, so that a busy moment of the machine weighs on
// both sides alike and a round the system interrupts is left out.
//
// Then it times Play_InputData call by call (input_latency.h). Built for the
// 64-bit DLL, which runs the plug-in and the vendor library in its helper, it
// does only that: nothing of the vendor library is in this process to
// compare with.
//
// It writes the configuration file on the system drive for its runs, and only
// where none is: under Wine, give it a prefix of its own (scripts/bench.sh).

#ifndef PELSHX_BENCH_BRIDGED
#include "bench_cases.h"
#endif
#include "input_latency.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#ifndef PELSHX_BENCH_BRIDGED
namespace {

struct Medians {
    double plugin = 0;
    double counterpart = 0;
};

template <typename Side>
double NanosecondsPerCall(Side& side, int calls)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) side();
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / calls;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Plugin, typename Counterpart>
Medians Alternate(Plugin& plugin, Counterpart& counterpart, int rounds, int callsPerRound)
{
    std::vector<double> pluginTimes;
    std::vector<double> counterpartTimes;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) pluginTimes.push_back(NanosecondsPerCall(plugin, callsPerRound));
        counterpartTimes.push_back(NanosecondsPerCall(counterpart, callsPerRound));
        if (round % 2 == 1) pluginTimes.push_back(NanosecondsPerCall(plugin, callsPerRound));
    }
    return {Median(pluginTimes), Median(counterpartTimes)};
}

void Print(const bench::Comparison& comparison, const Medians& medians, int rounds, int callsPerRound)
{
    std::printf("%-86s %11.1f ns %11.1f ns %6.3f  (%d rounds of %d)\n", comparison.meaning, medians.plugin,
                medians.counterpart, medians.plugin / medians.counterpart, rounds, callsPerRound);
    std::fflush(stdout);
}

// Many short rounds for the quick calls, a few calls a round for those that write a file.
constexpr int kQuickRounds = 201;
constexpr int kQuickCalls = 2000;
constexpr int kFileRounds = 301;
constexpr int kFileCalls = 5;

}  // namespace
#endif

int main()
{
    const bench::Drive drive;
    std::string error;
    if (!drive.Usable(error)) {
        std::fprintf(stderr, "player_bench: %s\n", error.c_str());
        return 1;
    }
#ifndef PELSHX_BENCH_BRIDGED
    std::printf("%-86s %14s %14s %6s\n", "wall time per call, median of the rounds", "plug-in", "without it",
                "ratio");
    // Each counterpart is made before its plug-in case, which keeps the one player.
    {
        bench::SameVendorCalls counterpart(drive, false);
        bench::PluginInput plugin(drive, 0);
        Print(bench::kComparisons[0], Alternate(plugin, counterpart, kQuickRounds, kQuickCalls), kQuickRounds,
              kQuickCalls);
    }
    {
        bench::RecordAndVendorCallsByHand counterpart(drive);
        bench::PluginInput plugin(drive, 2);
        Print(bench::kComparisons[1], Alternate(plugin, counterpart, kFileRounds, kFileCalls), kFileRounds,
              kFileCalls);
    }
    {
        bench::RecordByHand counterpart(drive, true);
        bench::PluginErrorRecord plugin(drive);
        Print(bench::kComparisons[2], Alternate(plugin, counterpart, kFileRounds, kFileCalls), kFileRounds,
              kFileCalls);
    }
    {
        bench::SameVendorCalls counterpart(drive, true);
        bench::PluginInput plugin(drive, 0);
        Print(bench::kComparisons[3], Alternate(plugin, counterpart, kQuickRounds, kQuickCalls), kQuickRounds,
              kQuickCalls);
    }
#endif
#ifdef PELSHX_BENCH_BRIDGED
    bench::PrintInputLatencies(drive, true);
#else
    bench::PrintInputLatencies(drive, false);
#endif
    return 0;
}
