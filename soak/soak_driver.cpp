// Drives the real plug-in for a given time with a seeded random mix of all 26
// slots over all 128 ports (and a few ports beyond them), with the stand-in
// vendor library in live mode. Watches, while it runs, that each log keeps at
// most its live file and one backup, counts rotations, and compares the
// process's memory (and on Windows its handles) after a warm-up with the end.
// The logs start filled with whole records to 1 MiB short of the rotation size,
// as the logs of a host that has run a while, so that rotations come early even
// where records are written slowly (Wine). At the end every record of the logs
// and their backups is read back with the tests' reader.
//
// A companion, a second host on the same trace directory, waits for the other
// driver's prefill, writes its records beside the other's and leaves the read
// back to it.
//
// Usage: pelshx_soak SECONDS SEED TRACE_DIRECTORY [companion]
// Prints one line of figures; exits 1 when a check failed, 2 for a bad call.

#include "PelShx_PlaySDK.h"
#include "config/player_settings.h"
#include "support/process_figures.h"
#include "shxstrm_standin.h"
#include "support/log_records.h"
#include "support/result_codes.h"
#include "trace/trace_log.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSlots = 26;
constexpr int kRuntimeLog = 0;
#ifdef _WIN32
constexpr std::size_t kLineBreakBytes = 2;
#else
constexpr std::size_t kLineBreakBytes = 1;
#endif
constexpr int kWatchEvery = 256;       // calls between looks at the trace directory
constexpr int kForgetCallsEvery = 1024;  // the stand-in's journal is emptied this often
constexpr uint64_t kMemoryGrowthAllowed = 16u << 20;
constexpr int64_t kHandleGrowthAllowed = 4;

const char* const kLogNames[] = {player_settings::kRuntimeLogName, player_settings::kErrorLogName};

bool IsReserved(int slot)
{
    return slot == 16 || slot == 18 || slot == 20 || slot == 22 || slot == 24 || slot == 25;
}

class Mix {
public:
    explicit Mix(unsigned seed) : random(seed) {}

    // Init and Uninit are rare, as in a host, and so are the reserved slots,
    // which write no record; input is the most frequent call.
    int Slot()
    {
        const uint32_t pick = random() % 1000000;
        if (pick == 0) return 0;
        if (pick == 1) return 1;
        if (pick % 4 == 0) return 6;
        const int slot = 2 + static_cast<int>(random() % (kSlots - 2));
        return IsReserved(slot) && random() % 8 != 0 ? 6 : slot;
    }
    // Mostly the 128 ports; one call in eight names a port beyond them.
    int32_t Port()
    {
        return random() % 8 ? static_cast<int32_t>(random() % 128) : 128 + static_cast<int32_t>(random() % 3);
    }
    int32_t Below(uint32_t limit) { return static_cast<int32_t>(random() % limit); }

private:
    std::mt19937 random;
};

int32_t CallSlot(IPlayer& player, int slot, Mix& mix)
{
    static uint8_t data[4096] = {0x00, 0x00, 0x01, 0xBA};
    int32_t a = 0, b = 0;
    uint32_t key = 0;
    int32_t block[6] = {};
    const int32_t port = mix.Port();
    switch (slot) {
    case 0: return player.Play_Init(0);
    case 1: return player.Play_Uninit();
    case 2: return player.Play_SetOverlayMode(port, static_cast<uint32_t>(mix.Below(0x1000010)));
    case 3: return player.Play_GetPreviewMode(port, &a, &key);
    case 4: return player.Play_SetOpenMode(port, 0);
    case 5: return player.Play_OpenStream(nullptr, port, data, 1 + static_cast<uint32_t>(mix.Below(64)), 0);
    case 6: return player.Play_InputData(port, data, 1 + static_cast<uint32_t>(mix.Below(4096)), mix.Below(2) ? 'A' : 0);
    case 7: return player.Play_CloseStream(port);
    case 8: return player.Play_PlayState(port, mix.Below(11));
    case 9: return player.Play_GetPlayState(port, &a);
    case 10: return player.Play_SetVolume(port, mix.Below(111) - 5);
    case 11: return player.Play_GetVolume(port, &a);
    case 12: return player.Play_GetPicture(port, 0);
    case 13: return player.Play_RefreshPlay(port);
    case 14: return player.Play_GetHeadLen(&a);
    case 15: return player.Play_GetPictureSize(port, &a, &b);
    case 16: return player.Play_Reserved16(port, 0);
    case 17: return player.Play_GetPicQuality(port, &a);
    case 18: return player.Play_Reserved18(port, 0);
    case 19: return player.Play_GetThrowNum(port, &a);
    case 20: return player.Play_Reserved20(port, 0, 0);
    case 21: return player.Play_SetVideoPara(port, block);
    case 22: return player.Play_Reserved22(port, 0, 0);
    case 23: return player.Play_SetDispRegion(port, block);
    case 24: return player.Play_Reserved24(port);
    default: return player.Play_Reserved25(port, 0);
    }
}

// Counts rotations from the live files' sizes and entries that should not be there.
class TraceWatch {
public:
    explicit TraceWatch(fs::path directory) : directory_(std::move(directory))
    {
        for (const char* name : kLogNames) {
            allowed_.insert(name);
            allowed_.insert(std::string(name) + ".bak");
        }
    }

    void Look()
    {
        for (int log = 0; log < 2; ++log) {
            std::error_code missing;
            const std::uintmax_t size = fs::file_size(directory_ / kLogNames[log], missing);
            const std::uintmax_t now = missing ? 0 : size;
            if (now < lastSize_[log]) ++rotations_[log];
            lastSize_[log] = now;
        }
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(directory_, ignored))
            if (allowed_.count(entry.path().filename().string()) == 0) ++strangers_;
    }

    long Rotations(int log) const { return rotations_[log]; }
    long Strangers() const { return strangers_; }

    // Fills each log with copies of one whole record.
    void Prefill() const
    {
        for (int log = 0; log < 2; ++log) {
            std::ofstream out(directory_ / kLogNames[log], std::ios::trunc);  // text mode: the system's line breaks
            for (std::size_t i = PrefillRecords(log); i > 0; --i) out << kPrefillRecords[log];
        }
    }

    // A companion's wait for the other driver's prefill; false after a minute without it.
    bool AwaitPrefill() const
    {
        for (int waited = 0; waited < 60000; ++waited) {
            std::error_code missing;
            const std::uintmax_t size = fs::file_size(directory_ / kLogNames[1], missing);
            if (!missing && size >= PrefillRecords(1) * RecordBytes(1)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // How many records the logs and their backups hold; -1, after saying
    // where, when a file holds anything but whole records.
    long WholeRecords() const
    {
        long records = 0;
        for (int log = 0; log < 2; ++log) {
            for (const char* suffix : {"", ".bak"}) {
                const fs::path file = directory_ / (std::string(kLogNames[log]) + suffix);
                std::ifstream in(file);  // text mode: the line breaks read as "\n"
                const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                std::vector<EntryRecord> entries;
                std::vector<ErrorRecord> errors;
                std::string fault;
                const bool whole = log == kRuntimeLog ? ReadEntryRecords(text, entries, fault)
                                                      : ReadErrorRecords(text, errors, fault);
                if (!whole) {
                    std::printf("FAILED: %s: %s\n", file.string().c_str(), fault.c_str());
                    return -1;
                }
                records += static_cast<long>(entries.size() + errors.size());
            }
        }
        return records;
    }

private:
    static constexpr const char* kPrefillRecords[] = {
        "\n[01-01 00:00:00.00]\nsoak:[prefill]\n:[]\n:[]\n",
        "\n[01-01 00:00:00.00]\nErrCode:[0]\nContext:[Source File: [soak], LINE: [1]]\nErrString:[prefill]\n"};

    // Its size in the file, with the system's line breaks.
    static std::size_t RecordBytes(int log)
    {
        const std::string record = kPrefillRecords[log];
        const auto lineBreaks = std::count(record.begin(), record.end(), '\n');
        return record.size() + (kLineBreakBytes - 1) * static_cast<std::size_t>(lineBreaks);
    }
    static std::size_t PrefillRecords(int log) { return (TraceLog::LOG_ROTATE_SIZE - (1 << 20)) / RecordBytes(log); }

    fs::path directory_;
    std::set<std::string> allowed_;
    std::uintmax_t lastSize_[2] = {};
    long rotations_[2] = {};
    long strangers_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    const bool companion = argc == 5 && std::string(argv[4]) == "companion";
    if (argc != 4 && !companion) {
        std::fprintf(stderr, "usage: pelshx_soak SECONDS SEED TRACE_DIRECTORY [companion]\n");
        return 2;
    }
    const auto duration = std::chrono::duration<double>(std::atof(argv[1]));
    const unsigned seed = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    TraceWatch watch(argv[3]);
    if (!companion) {
        watch.Prefill();
    } else if (!watch.AwaitPrefill()) {
        std::fprintf(stderr, "pelshx_soak: no prefilled logs to join\n");
        return 1;
    }
    Mix mix(seed);

    IPlayer* player = CreateSinglePlayerDll();
    if (player == nullptr || player->Play_Init(0) != 0) {
        std::fprintf(stderr, "pelshx_soak: the player could not be made ready\n");
        return 1;
    }
    long calls = 0;
    long unknownResults = 0;
    const Clock::time_point start = Clock::now();
    const auto warmUp = duration / 5;
    bool warm = false;
    ProcessFigures afterWarmUp{};
    for (Clock::duration elapsed{}; elapsed < duration; elapsed = Clock::now() - start) {
        if (!IsResultCode(CallSlot(*player, mix.Slot(), mix))) ++unknownResults;
        ++calls;
        if (calls % kWatchEvery == 0) watch.Look();
        if (calls % kForgetCallsEvery == 0) ShxStandin_ForgetCalls();
        if (!warm && elapsed >= warmUp) {
            warm = true;
            afterWarmUp = CurrentProcessFigures();
        }
    }
    watch.Look();
    const ProcessFigures atEnd = CurrentProcessFigures();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    player->Play_Uninit();
    ReleaseSinglePlayerDll(player);

    const bool memoryFlat = atEnd.memoryBytes <= afterWarmUp.memoryBytes + kMemoryGrowthAllowed;
    const bool handlesFlat = atEnd.handles <= afterWarmUp.handles + kHandleGrowthAllowed;
    const long records = companion ? 0 : watch.WholeRecords();
    std::printf("calls %ld (%.0f/s) rotations runtime %ld error %ld memory %" PRIu64 " -> %" PRIu64
                " KiB handles %" PRId64 " -> %" PRId64 " unknown-results %ld stray-files %ld whole-records %ld\n",
                calls, calls / seconds, watch.Rotations(0), watch.Rotations(1), afterWarmUp.memoryBytes >> 10,
                atEnd.memoryBytes >> 10, afterWarmUp.handles, atEnd.handles, unknownResults, watch.Strangers(),
                records);
    const bool passed = memoryFlat && handlesFlat && unknownResults == 0 && watch.Strangers() == 0 && records >= 0;
    if (!memoryFlat) std::printf("FAILED: memory grew after the warm-up\n");
    if (!handlesFlat) std::printf("FAILED: handles grew after the warm-up\n");
    if (unknownResults != 0) std::printf("FAILED: unknown result codes\n");
    if (watch.Strangers() != 0) std::printf("FAILED: files beside the live logs and their backups\n");
    return passed ? 0 : 1;
}
