#include "input_latency.h"

#include "process_cpu.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace bench {

namespace {

constexpr int kRounds = 10;
constexpr int kWarmUpCalls = 20;
constexpr int kBackToBackCalls = 300;  // a round
constexpr int kPacedCalls = 100;       // a round

// This program's file name, as Linux names its process under Wine.
std::string ProgramName()
{
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string file(path, length < MAX_PATH ? length : 0);
    return file.substr(file.find_last_of("\\/") + 1);
#else
    return "player_bench";
#endif
}

// The Linux processes whose CPU time a call costs: this one, the helper and
// Wine's server; nothing for those not found.
struct Processes {
    ProcessCpu host{FindProcess(ProgramName())};
    ProcessCpu helper{0};
    ProcessCpu server{FindProcess("wineserver")};
};

struct CpuTimes {
    uint64_t host = 0;
    uint64_t helper = 0;
    uint64_t server = 0;
};

CpuTimes CpuOf(Processes& processes)
{
    return {processes.host.Nanoseconds(), processes.helper.Nanoseconds(), processes.server.Nanoseconds()};
}

struct Case {
    std::vector<uint8_t> data;
    bool paced;
    std::vector<double> times;  // microseconds, call by call
    CpuTimes cpu;               // nanoseconds, over all timed calls
};

// Sleep: under Wine, std::this_thread::sleep_for costs Wine's server about
// 45 us of CPU a sleep, which would count in the calls' CPU time.
void PauseOneMillisecond()
{
#ifdef _WIN32
    Sleep(1);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
}

void Run(StartedPlayer& player, Case& run, Processes& processes)
{
    const auto size = static_cast<uint32_t>(run.data.size());
    const int calls = run.paced ? kPacedCalls : kBackToBackCalls;
    for (int i = 0; i < kWarmUpCalls; ++i) player.Input(run.data.data(), size);
    const CpuTimes before = CpuOf(processes);
    for (int i = 0; i < calls; ++i) {
        if (run.paced) PauseOneMillisecond();
        const auto start = std::chrono::steady_clock::now();
        player.Input(run.data.data(), size);
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        run.times.push_back(spent.count());
    }
    const CpuTimes after = CpuOf(processes);
    run.cpu.host += after.host - before.host;
    run.cpu.helper += after.helper - before.helper;
    run.cpu.server += after.server - before.server;
}

void Print(Case& run, const char* handOver, bool bridged, bool measured)
{
    std::vector<double>& times = run.times;
    std::sort(times.begin(), times.end());
    std::printf("Play_InputData %5u bytes, %s, %s: median %8.1f us, 90th percentile %8.1f us; ",
                static_cast<unsigned>(run.data.size()), run.paced ? "paced" : "back to back", handOver,
                times[times.size() / 2], times[times.size() * 9 / 10]);
    const double calls = static_cast<double>(times.size()) * 1000.0;  // and nanoseconds to microseconds
    const double host = static_cast<double>(run.cpu.host) / calls;
    const double helper = static_cast<double>(run.cpu.helper) / calls;
    const double server = static_cast<double>(run.cpu.server) / calls;
    if (!measured)
        std::printf("CPU per call: not measured");
    else if (bridged)
        std::printf("CPU per call: host %.1f, helper %.1f, Wine server %.1f, all %.1f us", host, helper, server,
                    host + helper + server);
    else
        std::printf("CPU per call: host %.1f, helper -, Wine server %.1f, all %.1f us", host, server, host + server);
    std::printf(" (%zu calls)\n", times.size());
    std::fflush(stdout);
}

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    for (std::size_t size : {std::size_t{1024}, std::size_t{65536}}) {
        std::vector<uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 31);
        for (bool paced : {false, true}) cases.push_back({data, paced, {}, {}});
    }
    return cases;
}

// Read by the 64-bit DLL as it makes its player; null: the adaptive hand-over.
void SetHandOver(const char* value)
{
#ifdef _WIN32
    SetEnvironmentVariableA("PELSHX_BRIDGE_HANDOVER", value);
#else
    if (value != nullptr) setenv("PELSHX_BRIDGE_HANDOVER", value, 1);
    else unsetenv("PELSHX_BRIDGE_HANDOVER");
#endif
}

// The cases of one player, in turn, starting with a different one each round.
void RunRound(const Drive& drive, std::vector<Case>& cases, int round, Processes& processes)
{
    StartedPlayer player(drive, 0);
    processes.helper = ProcessCpu(FindProcess("pelshx_bridge32"));
    for (std::size_t i = 0; i < cases.size(); ++i) Run(player, cases[(i + round) % cases.size()], processes);
}

}  // namespace

void PrintInputLatencies(const Drive& drive, bool bridged)
{
    const char* const handOvers[] = {"event hand-over", "adaptive hand-over"};
    const char* const settings[] = {"event", nullptr};
    const int kinds = bridged ? 2 : 1;
    std::vector<std::vector<Case>> cases(kinds, Cases());
    Processes processes;
    const bool measured = processes.host.Nanoseconds() != 0;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kinds; ++i) {
            const int kind = (i + round) % kinds;
            SetHandOver(settings[kind]);
            RunRound(drive, cases[kind], round, processes);
        }
    }
    SetHandOver(nullptr);
    for (int kind = 0; kind < kinds; ++kind)
        for (Case& run : cases[kind]) Print(run, bridged ? handOvers[kind] : "in process", bridged, measured);
}

}  // namespace bench
