// What the host pays per call on the paths it takes most, each beside what the
// same work costs without the plug-in (bench_cases.h), with Google Benchmark;
// the ratios of the median CPU times come last. Also a configuration lookup.
// The repetitions of all benchmarks run in random order, so that a busy moment
// of the machine does not fall on one side of a comparison only.

#include "bench_cases.h"
#include "config/config_reader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kRepetitions = 10;

std::unique_ptr<bench::Drive> drive;

template <typename Case, typename... Arguments>
void Add(const char* name, Arguments... arguments)
{
    benchmark::RegisterBenchmark(name, [=](benchmark::State& state) {
        Case run(*drive, arguments...);
        for (auto _ : state) run();
    })->Repetitions(kRepetitions)->DisplayAggregatesOnly(true);
}

void ReadConfig(benchmark::State& state)
{
    const std::string path = drive->TraceDirectory() + "bench.cfg";
    std::ofstream(path) << "# settings\n[OTHER]\n[A] [1]\n[GLOBAL]\n[TRACE_PATH] [d:/trace/]\n[DEBUG_LEVEL] [1]\n";
    std::string value;
    for (auto _ : state) benchmark::DoNotOptimize(ReadConfigValue(path, "GLOBAL", "DEBUG_LEVEL", value));
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
        for (const bench::Comparison& comparison : bench::kComparisons) {
            const auto plugin = medians.find(comparison.plugin);
            const auto counterpart = medians.find(comparison.counterpart);
            if (plugin == medians.end() || counterpart == medians.end()) continue;
            std::printf("  %-86s %6.3f\n", comparison.meaning, plugin->second / counterpart->second);
        }
    }

private:
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv)
{
    drive = std::make_unique<bench::Drive>();
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    Add<bench::PluginInput>("InputData/level0", 0);
    Add<bench::SameVendorCalls>("SameVendorCalls", false);
    Add<bench::SameVendorCalls>("InputCallAlone", true);
    Add<bench::PluginInput>("InputData/level2", 2);
    Add<bench::RecordAndVendorCallsByHand>("RecordAndVendorCallsByHand");
    Add<bench::PluginErrorRecord>("ErrorRecord");
    Add<bench::RecordByHand>("ErrorRecordByHand", true);
    benchmark::RegisterBenchmark("ReadConfig", ReadConfig);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    reporter.PrintRatios();
    benchmark::Shutdown();
    drive.reset();
    return 0;
}
