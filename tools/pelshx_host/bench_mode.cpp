// Each measurement alternates rounds of Play_InputData calls with rounds of
// the same work done directly: the vendor calls the plug-in makes for each
// input (the input, and the window again on every fifth), and at debug level 2
// also the runtime record appended by hand. The medians of the rounds are
// compared, so that a busy moment of the machine weighs on both sides alike.

#include "bench_mode.h"

#include "config/paths.h"
#include "config/player_settings.h"
#include "host_platform.h"
#include "host_run.h"
#include "player_library.h"
#include "trace/log_texts.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace {

using InputFunction = int32_t(PELSHX_STDCALL*)(int32_t, const uint8_t*, uint32_t, int32_t, int32_t, int32_t,
                                               int32_t);
using SetWndFunction = int32_t(PELSHX_STDCALL*)(int32_t, void*, int32_t);
using ResetFunction = void (*)();

constexpr int32_t kChannel = 0;  // the first port a fresh player binds
constexpr int32_t kWindowRebindPeriod = 5;
constexpr char kTimestamp[] = "12-31 23:59:59.99";  // as long as every real one
constexpr char kTraceDirectoryName[] = "pelshx-bench-trace";

// Many short rounds: a round that the system interrupts is an outlier that
// the median leaves out.
struct Level {
    int debugLevel;
    int rounds;
    int callsPerRound;
    const char* direct;  // what the direct side does
};

const Level kLevels[] = {
    {0, 201, 2000, "the same vendor calls"},
    {2, 301, 5, "the same record appended by hand and the same vendor calls"},
};

struct VendorFunctions {
    InputFunction input = nullptr;
    SetWndFunction setWnd = nullptr;
    ResetFunction resetJournal = nullptr;  // the stand-in's journal, which would grow without end

    bool Find()
    {
        input = reinterpret_cast<InputFunction>(host_platform::FindVendorSymbol("SHX_PlayStrm_InputData"));
        setWnd = reinterpret_cast<SetWndFunction>(host_platform::FindVendorSymbol("SHX_PlayStrm_SetWnd"));
        resetJournal = reinterpret_cast<ResetFunction>(host_platform::FindVendorSymbol("ShxStandin_Reset"));
        return input != nullptr && setWnd != nullptr;
    }
    void ForgetJournal() const
    {
        if (resetJournal != nullptr) resetJournal();
    }
};

// The plug-in's configuration file, written for the run; whatever was there
// before comes back afterwards.
class ConfigurationFile {
public:
    explicit ConfigurationFile(std::filesystem::path file) : path(std::move(file))
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return;
        std::ostringstream text;
        text << in.rdbuf();
        original = text.str();
    }
    ConfigurationFile(const ConfigurationFile&) = delete;
    ConfigurationFile& operator=(const ConfigurationFile&) = delete;
    ~ConfigurationFile()
    {
        std::error_code ignored;
        if (original)
            std::ofstream(path, std::ios::binary) << *original;
        else
            std::filesystem::remove(path, ignored);
    }

    bool Write(int debugLevel, const std::filesystem::path& traceDirectory) const
    {
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        std::ofstream out(path, std::ios::binary);
        out << "[GLOBAL]\n[TRACE_PATH] [" << traceDirectory.generic_string() << "]\n[DEBUG_LEVEL] [" << debugLevel
            << "]\n";
        return static_cast<bool>(out.flush());
    }

private:
    std::filesystem::path path;
    std::optional<std::string> original;
};

template <typename Calls>
double NanosecondsPerCall(int count, Calls calls)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) calls();
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / count;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One runtime record appended as the plug-in appends it: open, the two
// formatted writes, position, close.
void AppendRecord(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "a+");
    if (file == nullptr) return;
    std::fprintf(file, "\n[%s]", kTimestamp);
    std::fprintf(file, "\n%s:[%s]\n%s:[%s]\n%s:[%s]\n", texts::kInputData, "Play_InputData", "", "", "", "");
    // The plug-in reads the position for its size check; only the call's cost matters here.
    // cppcheck-suppress ignoredReturnValue
    std::ftell(file);
    std::fclose(file);
}

struct Figures {
    double pluginNanoseconds = 0;
    double directNanoseconds = 0;
    int refusals = 0;  // direct input calls the vendor library refused
};

class BenchRun {
public:
    BenchRun(const HostOptions& hostOptions, const PlayerLibrary& plugin, const VendorFunctions& vendorFunctions,
             std::filesystem::path logDirectory)
        : options(hostOptions), library(plugin), vendor(vendorFunctions), traceDirectory(std::move(logDirectory)),
          packet(hostOptions.chunkBytes)
    {
    }

    // False, with the reason in error, when the player cannot be started.
    bool Measure(const Level& level, Figures& figures, std::string& error)
    {
        IPlayer* player = library.Create();
        if (player == nullptr) {
            error = "CreateSinglePlayerDll returned null";
            return false;
        }
        const bool started = Start(*player, error);
        if (started) figures = Alternate(*player, level);
        player->Play_CloseStream(options.port);
        player->Play_Uninit();
        library.Release(player);
        return started;
    }

private:
    bool Start(IPlayer& player, std::string& error) const
    {
        if (player.Play_Init(0) != 0) error = "Play_Init failed";
        else if (player.Play_SetOpenMode(options.port, options.openMode) != PLAY_OK) error = "Play_SetOpenMode failed";
        else if (player.Play_OpenStream(nullptr, options.port, packet.data(), Size(), 0) != PLAY_OK)
            error = "Play_OpenStream failed";
        return error.empty();
    }

    Figures Alternate(IPlayer& player, const Level& level)
    {
        // The file named as the plug-in names it.
        const std::string runtimeLog = (traceDirectory / player_settings::kRuntimeLogName).generic_string();
        const bool withRecord = level.debugLevel >= 2;
        std::vector<double> pluginTimes;
        std::vector<double> directTimes;
        Figures figures;
        int64_t directCalls = 0;
        const auto pluginRound = [&] {
            vendor.ForgetJournal();
            pluginTimes.push_back(NanosecondsPerCall(level.callsPerRound, [&] {
                player.Play_InputData(options.port, packet.data(), Size(), options.dataType);
            }));
        };
        const auto directRound = [&] {
            vendor.ForgetJournal();
            directTimes.push_back(NanosecondsPerCall(level.callsPerRound, [&] {
                if (withRecord) AppendRecord(runtimeLog);
                if (++directCalls % kWindowRebindPeriod == 0) vendor.setWnd(kChannel, nullptr, 0);
                figures.refusals += vendor.input(kChannel, packet.data(), Size(), DataKind(), 0, -1, -1) != 0;
            }));
        };
        // Each side goes first in every other round.
        for (int round = 0; round < level.rounds; ++round) {
            if (round % 2 == 0) pluginRound();
            directRound();
            if (round % 2 == 1) pluginRound();
        }
        vendor.ForgetJournal();
        figures.pluginNanoseconds = Median(pluginTimes);
        figures.directNanoseconds = Median(directTimes);
        return figures;
    }

    uint32_t Size() const { return static_cast<uint32_t>(packet.size()); }
    int32_t DataKind() const { return (options.dataType & 0xFF) == 'A' ? 1 : 0; }

    const HostOptions& options;
    const PlayerLibrary& library;
    const VendorFunctions& vendor;
    std::filesystem::path traceDirectory;
    std::vector<uint8_t> packet;
};

void PrintFigures(std::ostream& out, const Level& level, const Figures& figures)
{
    char line[160];
    std::snprintf(line, sizeof line, "debug level %d  %10.1f ns  %10.1f ns  %6.3f   (%d rounds; direct: %s)\n",
                  level.debugLevel, figures.pluginNanoseconds, figures.directNanoseconds,
                  figures.pluginNanoseconds / figures.directNanoseconds, level.rounds, level.direct);
    out << line;
}

}  // namespace

int RunBenchMode(const std::string& pluginPath, const HostOptions& options, std::ostream& out, std::ostream& err)
{
    PlayerLibrary library;
    PluginProblem problem;
    if (!library.Load(pluginPath, problem)) {
        err << "pelshx_host: cannot use " << pluginPath << ": " << problem.finding << "\n";
        return HOST_EXIT_NO_PLUGIN;
    }
    VendorFunctions vendor;
    if (!vendor.Find()) {
        err << "pelshx_host: the vendor library is not loaded or lacks SHX_PlayStrm_InputData or SHX_PlayStrm_SetWnd\n";
        return HOST_EXIT_UNEXPECTED_RESULT;
    }

    std::string root;
    if (GetSystemDriveRoot(root) != 0) {
        err << "pelshx_host: the system drive cannot be found\n";
        return HOST_EXIT_UNEXPECTED_RESULT;
    }
    const std::filesystem::path traceDirectory = std::filesystem::path(root) / "tavo" / kTraceDirectoryName;
    ConfigurationFile configuration(ConfigFilePath(root));
    std::string error;
    BenchRun run(options, library, vendor, traceDirectory);
    char header[80];
    std::snprintf(header, sizeof header, "%-13s  %13s  %13s  %6s\n", "", "plug-in", "direct", "ratio");
    out << "Play_InputData on port " << options.port << ", " << options.chunkBytes
        << " bytes a call; time per call, median of the rounds\n"
        << header;
    int status = HOST_EXIT_OK;
    for (const Level& level : kLevels) {
        Figures figures;
        if (!configuration.Write(level.debugLevel, traceDirectory) || !run.Measure(level, figures, error)) {
            err << "pelshx_host: debug level " << level.debugLevel << ": "
                << (error.empty() ? "cannot write the configuration file" : error) << "\n";
            status = HOST_EXIT_UNEXPECTED_RESULT;
            break;
        }
        PrintFigures(out, level, figures);
        if (figures.refusals > 0) {
            err << "pelshx_host: the vendor library refused " << figures.refusals
                << " direct input calls; the figures include its refusals and the plug-in's retry pauses\n";
            status = HOST_EXIT_UNEXPECTED_RESULT;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(traceDirectory, ignored);
    return status;
}
