// What the host pays per call on the paths it takes most: handing over data
// (at debug levels 0 and 2), writing a log record, reading a configuration value.
// The vendor library is the stand-in, which takes all data at once.

#include "config/config_reader.h"
#include "PelShx_PlaySDK.h"
#include "shxstrm_standin.h"
#include "trace/trace_log.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string root;  // the system drive root of this run

void WriteFile(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) std::abort();
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

IPlayer* StartedPlayer(int debugLevel)
{
    std::system(("mkdir -p '" + root + "tavo/cfg'").c_str());
    WriteFile(root + "tavo/cfg/TAVO.cfg", "[GLOBAL]\n[TRACE_PATH] [" + root + "trace]\n[DEBUG_LEVEL] [" +
                                              std::to_string(debugLevel) + "]\n");
    IPlayer* player = CreateSinglePlayerDll();
    player->Play_Init(0);
    player->Play_SetOpenMode(7, 0);
    static const uint8_t openBuffer[4] = {};
    player->Play_OpenStream(nullptr, 7, openBuffer, sizeof openBuffer, 0);
    return player;
}

void InputData(benchmark::State& state)
{
    IPlayer* player = StartedPlayer(static_cast<int>(state.range(0)));
    static const uint8_t packet[1024] = {};
    int64_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(player->Play_InputData(7, packet, sizeof packet, 'A'));
        // The stand-in journals every call; forget it now and then.
        if (++calls % 4096 == 0) ShxStandin_Reset();
    }
    state.SetItemsProcessed(calls);
    ReleaseSinglePlayerDll(player);
}
BENCHMARK(InputData)->Arg(0)->Arg(2);

void ErrorRecord(benchmark::State& state)
{
    TraceLog log;
    log.SetErrorLogPath(root + "bench_error.log");
    for (auto _ : state) log.WriteError(".\\Src\\MyPelShxPlaySDK", 149, -2, "buffer overflow");
    std::remove((root + "bench_error.log").c_str());
}
BENCHMARK(ErrorRecord);

void ReadConfig(benchmark::State& state)
{
    const std::string path = root + "bench.cfg";
    WriteFile(path, "# settings\n[OTHER]\n[A] [1]\n[GLOBAL]\n[TRACE_PATH] [d:/trace/]\n[DEBUG_LEVEL] [1]\n");
    std::string value;
    for (auto _ : state) benchmark::DoNotOptimize(ReadConfigValue(path, "GLOBAL", "DEBUG_LEVEL", value));
}
BENCHMARK(ReadConfig);

}  // namespace

int main(int argc, char** argv)
{
    char directory[] = "/tmp/pelshx-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) return 1;
    root = std::string(directory) + "/";
    setenv("PELSHX_SYSTEM_ROOT", directory, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
