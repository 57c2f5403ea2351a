// What the host pays per call on the paths it takes most, each beside what the
// same work costs without the plug-in, and the ratio of the two:
//  - Play_InputData at debug level 0 against calling the vendor library
//    directly, as it does: the input, and the window again on every fifth call
//    (also against the input call alone, for information);
//  - Play_InputData at debug level 2 against appending the same runtime record
//    by hand plus the same direct vendor calls;
//  - one error record against appending its bytes by hand.
// Also a configuration lookup. The vendor library is the stand-in, with its
// journal on, which takes all data at once.

#include "config/config_reader.h"
#include "PelShx_PlaySDK.h"
#include "shxstrm_standin.h"
#include "trace/log_texts.h"
#include "trace/trace_log.h"
#include "vendor/shx_strm.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int32_t kPort = 7;
constexpr int32_t kChannel = 0;  // the first port bound by a fresh player
constexpr int kRepetitions = 10;
constexpr char kTimestamp[] = "12-31 23:59:59.99";  // as long as every real one
constexpr char kErrorSource[] = ".\\Src\\MyPelShxPlaySDK";
constexpr int32_t kErrorLine = 149;
constexpr int32_t kErrorCode = -2;
constexpr char kErrorText[] = "buffer overflow";
const uint8_t kPacket[1024] = {};

std::string root;  // the system drive root of this run

std::string RuntimeLogPath() { return root + "trace/PelShx_Player_Runtime.log"; }
std::string ErrorLogPath() { return root + "bench_error.log"; }

void WriteFile(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) std::abort();
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

IPlayer* StartedPlayer(int debugLevel)
{
    WriteFile(root + "tavo/cfg/TAVO.cfg", "[GLOBAL]\n[TRACE_PATH] [" + root + "trace]\n[DEBUG_LEVEL] [" +
                                              std::to_string(debugLevel) + "]\n");
    IPlayer* player = CreateSinglePlayerDll();
    player->Play_Init(0);
    player->Play_SetOpenMode(kPort, 0);
    static const uint8_t openBuffer[4] = {};
    player->Play_OpenStream(nullptr, kPort, openBuffer, sizeof openBuffer, 0);
    ShxStandin_Reset();
    std::remove(RuntimeLogPath().c_str());
    return player;
}

// The stand-in journals every call; both sides forget it equally often.
void ForgetJournalNowAndThen(int64_t& calls)
{
    if (++calls % 4096 == 0) ShxStandin_Reset();
}

int32_t DirectInput()
{
    return SHX_PlayStrm_InputData(kChannel, kPacket, sizeof kPacket, 1, 0, -1, -1);
}

// The vendor calls of one input as the plug-in makes them.
int32_t DirectVendorCalls(int64_t calls)
{
    if (calls % 5 == 4) SHX_PlayStrm_SetWnd(kChannel, nullptr, 0);
    return DirectInput();
}

// One record appended as the logs append it: open, the two formatted writes,
// position, close.
void AppendRaw(const std::string& path, const char* label1, const char* value1, const char* label2,
               const char* value2, const char* label3, const char* value3)
{
    std::FILE* file = std::fopen(path.c_str(), "a+");
    if (file == nullptr) std::abort();
    std::fprintf(file, "\n[%s]", kTimestamp);
    std::fprintf(file, "\n%s:[%s]\n%s:[%s]\n%s:[%s]\n", label1, value1, label2, value2, label3, value3);
    benchmark::DoNotOptimize(std::ftell(file));
    std::fclose(file);
}

void InputData(benchmark::State& state, int debugLevel)
{
    IPlayer* player = StartedPlayer(debugLevel);
    int64_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(player->Play_InputData(kPort, kPacket, sizeof kPacket, 'A'));
        ForgetJournalNowAndThen(calls);
    }
    player->Play_CloseStream(kPort);
    ReleaseSinglePlayerDll(player);
}

void VendorInput(benchmark::State& state)
{
    IPlayer* player = StartedPlayer(0);
    int64_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DirectInput());
        ForgetJournalNowAndThen(calls);
    }
    ReleaseSinglePlayerDll(player);
}

void VendorCalls(benchmark::State& state)
{
    IPlayer* player = StartedPlayer(0);
    int64_t calls = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DirectVendorCalls(calls));
        ForgetJournalNowAndThen(calls);
    }
    ReleaseSinglePlayerDll(player);
}

void RawRecordAndVendorCalls(benchmark::State& state)
{
    IPlayer* player = StartedPlayer(0);
    const std::string path = RuntimeLogPath();
    int64_t calls = 0;
    for (auto _ : state) {
        AppendRaw(path, texts::kInputData, "Play_InputData", "", "", "", "");
        benchmark::DoNotOptimize(DirectVendorCalls(calls));
        ForgetJournalNowAndThen(calls);
    }
    ReleaseSinglePlayerDll(player);
}

void ErrorRecord(benchmark::State& state)
{
    std::remove(ErrorLogPath().c_str());
    TraceLog log;
    log.SetErrorLogPath(ErrorLogPath());
    for (auto _ : state) log.WriteError(kErrorSource, kErrorLine, kErrorCode, kErrorText);
}

void RawErrorRecord(benchmark::State& state)
{
    std::remove(ErrorLogPath().c_str());
    const std::string path = ErrorLogPath();
    const std::string code = std::to_string(kErrorCode);
    const std::string context = "Source File: [MyPelShxPlaySDK], LINE: [" + std::to_string(kErrorLine) + "]";
    for (auto _ : state) AppendRaw(path, "ErrCode", code.c_str(), "Context", context.c_str(), "ErrString", kErrorText);
}

void ReadConfig(benchmark::State& state)
{
    const std::string path = root + "bench.cfg";
    WriteFile(path, "# settings\n[OTHER]\n[A] [1]\n[GLOBAL]\n[TRACE_PATH] [d:/trace/]\n[DEBUG_LEVEL] [1]\n");
    std::string value;
    for (auto _ : state) benchmark::DoNotOptimize(ReadConfigValue(path, "GLOBAL", "DEBUG_LEVEL", value));
}

struct Comparison {
    const char* plugin;
    const char* baseline;
};

const Comparison kComparisons[] = {
    {"InputData/level0", "VendorCalls"},
    {"InputData/level2", "RawRecordAndVendorCalls"},
    {"ErrorRecord", "RawErrorRecord"},
    {"InputData/level0", "VendorInput"},
};

void Register()
{
    const auto add = [](const char* name, auto function) {
        benchmark::RegisterBenchmark(name, function)->Repetitions(kRepetitions)->DisplayAggregatesOnly(true);
    };
    add("InputData/level0", [](benchmark::State& state) { InputData(state, 0); });
    add("VendorCalls", VendorCalls);
    add("VendorInput", VendorInput);
    add("InputData/level2", [](benchmark::State& state) { InputData(state, 2); });
    add("RawRecordAndVendorCalls", RawRecordAndVendorCalls);
    add("ErrorRecord", ErrorRecord);
    add("RawErrorRecord", RawErrorRecord);
    add("ReadConfig", ReadConfig);
}

// Shows the results as usual and keeps each benchmark's median CPU time.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const
    {
        std::printf("\nratio of median CPU times, plug-in / without it:\n");
        for (const Comparison& comparison : kComparisons) {
            const auto plugin = medians.find(comparison.plugin);
            const auto baseline = medians.find(comparison.baseline);
            if (plugin == medians.end() || baseline == medians.end()) continue;
            std::printf("  %-17s / %-24s %6.3f\n", comparison.plugin, comparison.baseline,
                        plugin->second / baseline->second);
        }
    }

private:
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv)
{
    char directory[] = "/tmp/pelshx-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) return 1;
    root = std::string(directory) + "/";
    setenv("PELSHX_SYSTEM_ROOT", directory, 1);
    std::system(("mkdir -p '" + root + "tavo/cfg' '" + root + "trace'").c_str());

    // The repetitions of all benchmarks run in random order, so that a busy
    // moment of the machine does not fall on one side of a comparison only.
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    Register();
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    reporter.PrintRatios();
    benchmark::Shutdown();
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
