#include "host_run.h"

#include "host_platform.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The play states this host gives meaning to. The plug-in passes none of them
// on: it stores 1 to 8 for the host and lets input through one step at a time
// in PLAY_STEP_STATE.
constexpr int32_t kStatePlay = 1;
constexpr int32_t kStatePause = 2;

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string DataTypeText(int32_t dataType)
{
    if (dataType > ' ' && dataType < 0x7F) return std::string("'") + static_cast<char>(dataType) + "'";
    return std::to_string(dataType);
}

// "-2 x3, -2001 x1"
template <typename Count>
std::string RefusalText(const std::map<int32_t, Count>& refusals)
{
    std::string text;
    for (const auto& [status, count] : refusals)
        text += (text.empty() ? "" : ", ") + std::to_string(status) + " x" + std::to_string(count);
    return text;
}

std::string VendorNote(const InputOutcome& vendor)
{
    if (vendor.refusalCount == 0) return "";
    const std::string refused = "vendor refused " + RefusalText(vendor.refusals);
    if (!vendor.taken) return refused + ", never took it";
    return refused + ", took it at attempt " + std::to_string(vendor.attempts);
}

std::string Values(const int32_t* values, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? ", " : "") + std::to_string(values[i]);
    return text;
}

long FileSize(const std::string& path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return -1;
    return std::ftell(file.get());
}

}  // namespace

HostRun::HostRun(const HostOptions& chosen, std::ostream& output, std::ostream& errors)
    : options(chosen), out(output), err(errors), report(output)
{
}

HostExit HostRun::Execute(const std::string& pluginPath)
{
    host_platform::CatchInterrupts();  // from the start, so that Ctrl-C always winds down
    std::string error;
    if (!stream.Open(options.streamFile, error)) {
        err << "pelshx_host: cannot read the stream file " << Quoted(options.streamFile) << ": " << error << '\n';
        return HOST_EXIT_NO_STREAM;
    }
    if (!RequestsWithinStream()) return HOST_EXIT_BAD_COMMAND_LINE;
    PluginProblem problem;
    if (!library.Load(pluginPath, problem)) {
        err << "pelshx_host: cannot use the plug-in " << Quoted(pluginPath) << ": " << problem.finding << "\n  ("
            << problem.advice << ")\n";
        return HOST_EXIT_NO_PLUGIN;
    }
    // The plug-in brought the vendor library in with it.
    journal = std::make_unique<VendorJournal>();
    PrintHeader(pluginPath);
    Play();
    journal->Print(out, options.journal);
    PrintSummary();
    if (interrupted) return HOST_EXIT_INTERRUPTED;
    return report.Unexpected() == 0 ? HOST_EXIT_OK : HOST_EXIT_UNEXPECTED_RESULT;
}

uint64_t HostRun::ChunkCount() const
{
    return (stream.Size() + options.chunkBytes - 1) / options.chunkBytes;
}

// A pause or step mode asked for at or past the last chunk would never come.
bool HostRun::RequestsWithinStream() const
{
    const uint64_t chunks = ChunkCount();
    const auto check = [&](const char* option, uint64_t at) {
        if (at < chunks) return true;
        err << "pelshx_host: " << option << " asks for chunk " << at << ", but the stream has " << chunks
            << " chunks of " << options.chunkBytes << " bytes (0 to " << chunks - 1
            << ")\nTry 'pelshx_host --help' for more information.\n";
        return false;
    };
    return (!options.pause || check("--pause", options.pause->afterChunks)) &&
           (!options.step || check("--step", options.step->afterChunks));
}

void HostRun::PrintHeader(const std::string& pluginPath) const
{
    out << "Plug-in " << pluginPath << ", stream " << options.streamFile << " (" << stream.Size() << " bytes)\n"
        << Port() << ", chunks of " << options.chunkBytes << " bytes, "
        << (options.chunksPerSecond == 0 ? std::string("as fast as the plug-in takes them")
                                         : std::to_string(options.chunksPerSecond) + " per second")
        << "\n\n";
}

// Ctrl-C before the player is made makes none; after it, the run winds down
// as a host would.
void HostRun::Play()
{
    if (Interrupted() || !CreatePlayer()) return;
    report.Slot(0, "Play_Init(0)", TimeCall([&] { return player->Play_Init(0); }));
    if (!Interrupted() && OpenPort()) {
        SetVolume();
        FeedStream();
        if (!interrupted) {
            CapturePicture();
            ReadBackSettings();
        }
        ReadDroppedCount();
        report.Slot(7, "Play_CloseStream(" + Port() + ")",
                    TimeCall([&] { return player->Play_CloseStream(options.port); }));
    }
    report.Slot(1, "Play_Uninit()", TimeCall([&] { return player->Play_Uninit(); }));
    const Stopwatch release;
    library.Release(player);
    report.Export("ReleaseSinglePlayerDll(" + Hex(reinterpret_cast<uintptr_t>(player)) + ")", "done", release.Seconds(),
                  true);
    player = nullptr;
    host_platform::DestroyVideoWindow(window);
}

bool HostRun::CreatePlayer()
{
    const Stopwatch create;
    player = library.Create();
    const double seconds = create.Seconds();
    report.Export("CreateSinglePlayerDll()", player ? "player " + Hex(reinterpret_cast<uintptr_t>(player)) : "null",
                  seconds, player != nullptr);
    return player != nullptr;
}

bool HostRun::OpenPort()
{
    const TimedResult bound = TimeCall([&] { return player->Play_SetOpenMode(options.port, options.openMode); });
    report.Slot(4, "Play_SetOpenMode(" + Port() + ", mode " + std::to_string(options.openMode) + ")", bound);
    if (bound.result != PLAY_OK) return false;

    if (options.window)
        window = host_platform::CreateVideoWindow(PLAY_PICTURE_WIDTH, PLAY_PICTURE_HEIGHT, "PelShx host - " + Port());
    report.Note(window ? "window " + Hex(reinterpret_cast<uintptr_t>(window)) + ": a real window"
                       : std::string("window: null") + (options.window ? " (the system made none)" : ""));
    const std::vector<uint8_t>& head = stream.Head();
    const TimedResult opened = TimeCall([&] {
        return player->Play_OpenStream(window, options.port, head.data(), static_cast<uint32_t>(head.size()), 0);
    });
    report.Slot(5,
                "Play_OpenStream(" + Hex(reinterpret_cast<uintptr_t>(window)) + ", " + Port() + ", head " +
                    std::to_string(head.size()) + " bytes, 0)",
                opened);
    return opened.result == PLAY_OK;
}

bool HostRun::Interrupted()
{
    interrupted = interrupted || host_platform::Interrupted();
    return interrupted;
}

void HostRun::FeedStream()
{
    std::vector<uint8_t> chunk;
    const Stopwatch feeding;
    while (stream.Next(options.chunkBytes, chunk)) {
        // Ctrl-C: the chunk just read is not fed, and the run winds down.
        if (Interrupted()) break;
        const uint64_t index = tally.chunks++;
        if (!BeforeChunk(index, chunk)) {
            WaitForTurn(feeding, index);
            const bool stepping = stepsLeft > 0;
            if (stepping && SetPlayState(PLAY_STEP_STATE, "one step")) ++tally.steps;
            FeedChunk(chunk, PLAY_OK);
            if (stepping && --stepsLeft == 0) SetPlayState(kStatePlay, "play");
        }
        ShowProgress(false);
    }
    if (stepsLeft > 0) SetPlayState(kStatePlay, "play");
    ShowProgress(true);
}

// The pause and the step mode asked for at the chunk with this index. True
// when the chunk has been dealt with already.
bool HostRun::BeforeChunk(uint64_t index, const std::vector<uint8_t>& chunk)
{
    if (options.pause && index == options.pause->afterChunks) HoldForPause();
    if (options.step && index == options.step->afterChunks) return EnterStepMode(chunk);
    return false;
}

// Chunks go out at the chosen rate, counted from the start of feeding, with
// the host's own pauses added.
void HostRun::WaitForTurn(const Stopwatch& feeding, uint64_t index) const
{
    if (options.chunksPerSecond == 0) return;
    const double due = static_cast<double>(index) / options.chunksPerSecond + tally.hostPauseSeconds;
    const double early = due - feeding.Seconds();
    if (early > 0) host_platform::Wait(static_cast<unsigned>(early * 1000));
}

bool HostRun::FeedChunk(const std::vector<uint8_t>& chunk, int32_t expected)
{
    const uint32_t size = static_cast<uint32_t>(chunk.size());
    const int32_t journalBefore = journal->Count();
    const TimedResult outcome =
        TimeCall([&] { return player->Play_InputData(options.port, chunk.data(), size, options.dataType); });
    const InputOutcome vendor = journal->InputOutcomeOf(journalBefore, journal->Count());
    CountInput(outcome, vendor, chunk.size());

    const std::string call = "Play_InputData(" + Port() + ", chunk " + std::to_string(tally.chunks) + ", " +
                             std::to_string(size) + " bytes, " + DataTypeText(options.dataType) + ")";
    const bool heldBack = outcome.result == PLAY_ERR_BUFFER && expected == PLAY_ERR_BUFFER;
    const std::string note = heldBack ? "held back: no step granted yet" : VendorNote(vendor);
    if (WorthListing(outcome, vendor, expected)) report.Slot(6, call, outcome, note, expected);
    return outcome.result == PLAY_OK;
}

void HostRun::CountInput(const TimedResult& outcome, const InputOutcome& vendor, std::size_t size)
{
    ++tally.inputCalls;
    tally.inputSeconds += outcome.seconds;
    if (outcome.result == PLAY_OK) {
        ++tally.chunksFed;
        tally.bytesFed += size;
    }
    if (vendor.attempts > 0) ++(vendor.taken ? tally.chunksTaken : tally.chunksNeverTaken);
    for (const auto& [status, count] : vendor.refusals) tally.refusals[status] += static_cast<uint64_t>(count);
    tally.retryPauses += static_cast<uint64_t>(vendor.pauses);
    tally.retryPauseSeconds += vendor.pauseSeconds;
}

// Every input call when asked; otherwise the first, the last, those in step
// mode, and those that did not go straight through.
bool HostRun::WorthListing(const TimedResult& outcome, const InputOutcome& vendor, int32_t expected)
{
    const bool first = tally.inputCalls == 1;
    const bool last = tally.bytesFed >= stream.Size();
    const bool straightThrough =
        outcome.result == PLAY_OK && outcome.result == expected && vendor.refusalCount == 0 && !IsSlow(outcome.seconds);
    if (options.eachInput || first || last || stepsLeft > 0 || !straightThrough) return true;
    if (!quietInputNoted)
        report.Note("(Play_InputData calls that go straight through in good time are not listed; "
                    "--each-input lists them)");
    quietInputNoted = true;
    return false;
}

bool HostRun::SetPlayState(int32_t state, const std::string& meaning)
{
    const TimedResult outcome = TimeCall([&] { return player->Play_PlayState(options.port, state); });
    report.Slot(8, "Play_PlayState(" + Port() + ", " + std::to_string(state) + ")", outcome, meaning);
    return outcome.result == PLAY_OK;
}

void HostRun::HoldForPause()
{
    SetPlayState(kStatePause, "pause");
    const Stopwatch held;
    host_platform::Wait(options.pause->count);
    ++tally.hostPauses;
    tally.hostPauseSeconds += held.Seconds();
    report.Note("host held the stream back for " + Seconds(held.Seconds()));
    SetPlayState(kStatePlay, "play");
}

// Step mode grants nothing at first: the chunk offered now must be held back.
// True when the plug-in took it all the same.
bool HostRun::EnterStepMode(const std::vector<uint8_t>& chunk)
{
    SetPlayState(PLAY_STEP_STATE, "step mode");
    stepsLeft = options.step->count;
    if (FeedChunk(chunk, PLAY_ERR_BUFFER)) return true;
    ++tally.heldBack;
    return false;
}

void HostRun::SetVolume()
{
    if (!options.volume) return;
    const int32_t level = *options.volume;
    report.Slot(10, "Play_SetVolume(" + Port() + ", " + std::to_string(level) + ")",
                TimeCall([&] { return player->Play_SetVolume(options.port, level); }));
    int32_t readBack = -1;
    const TimedResult outcome = TimeCall([&] { return player->Play_GetVolume(options.port, &readBack); });
    report.Slot(11, "Play_GetVolume(" + Port() + ")", outcome,
                outcome.result == PLAY_OK ? "volume " + std::to_string(readBack) : "");
}

void HostRun::CapturePicture()
{
    if (options.capturePath.empty()) return;
    const std::string& path = options.capturePath;
    std::remove(path.c_str());  // so that a file found afterwards is this capture's
    report.Slot(12, "Play_GetPicture(" + Port() + ", " + Quoted(path) + ")", TimeCall([&] {
                    return player->Play_GetPicture(options.port, reinterpret_cast<uintptr_t>(path.c_str()));
                }));
    tally.pictureBytes = FileSize(path);
    report.Note(tally.pictureBytes < 0 ? "no picture file at " + path
                                       : "picture file " + path + ", " + std::to_string(tally.pictureBytes) + " bytes");
}

void HostRun::ReadBackSettings()
{
    if (!options.readBack) return;
    const int32_t port = options.port;
    int32_t state = 0, volume = 0, width = 0, height = 0, overlay = 0, quality = 0, headLength = 0;
    uint32_t colourKey = 0;
    int32_t videoParameters[6] = {};
    int32_t region[4] = {};
    struct ReadBack {
        int slot;
        std::string call;
        std::function<int32_t()> invoke;
        std::function<std::string()> describe;  // what the call gave, once it succeeded
    };
    const std::string onPort = "(" + Port() + ")";
    const ReadBack readBacks[] = {
        {9, "Play_GetPlayState" + onPort, [&] { return player->Play_GetPlayState(port, &state); },
         [&] { return "state " + std::to_string(state); }},
        {11, "Play_GetVolume" + onPort, [&] { return player->Play_GetVolume(port, &volume); },
         [&] { return "volume " + std::to_string(volume); }},
        {15, "Play_GetPictureSize" + onPort, [&] { return player->Play_GetPictureSize(port, &width, &height); },
         [&] { return std::to_string(width) + " x " + std::to_string(height); }},
        {3, "Play_GetPreviewMode" + onPort, [&] { return player->Play_GetPreviewMode(port, &overlay, &colourKey); },
         [&] { return "overlay " + std::to_string(overlay) + ", colour key " + Hex(colourKey); }},
        {17, "Play_GetPicQuality" + onPort, [&] { return player->Play_GetPicQuality(port, &quality); },
         [&] { return "quality " + std::to_string(quality); }},
        {19, "Play_GetThrowNum" + onPort, [&] { return player->Play_GetThrowNum(port, &tally.dropped); },
         [&] { return "dropped " + std::to_string(tally.dropped); }},
        {21, "Play_SetVideoPara" + onPort, [&] { return player->Play_SetVideoPara(port, videoParameters); },
         [&] { return "video parameters " + Values(videoParameters, 6); }},
        {23, "Play_SetDispRegion" + onPort, [&] { return player->Play_SetDispRegion(port, region); },
         [&] { return "display region " + Values(region, 4); }},
        {14, "Play_GetHeadLen()", [&] { return player->Play_GetHeadLen(&headLength); },
         [&] { return "head length " + std::to_string(headLength); }},
        {13, "Play_RefreshPlay" + onPort, [&] { return player->Play_RefreshPlay(port); }, [] { return std::string(); }},
    };
    for (const ReadBack& readBack : readBacks) {
        const TimedResult outcome = TimeCall(readBack.invoke);
        report.Slot(readBack.slot, readBack.call, outcome, outcome.result == PLAY_OK ? readBack.describe() : "");
    }
}

// What the plug-in dropped, for the summary, unless the read-back asked already.
void HostRun::ReadDroppedCount()
{
    if (options.readBack && !interrupted) return;
    int32_t dropped = 0;
    const TimedResult outcome = TimeCall([&] { return player->Play_GetThrowNum(options.port, &dropped); });
    report.Slot(19, "Play_GetThrowNum(" + Port() + ")", outcome,
                outcome.result == PLAY_OK ? "dropped " + std::to_string(dropped) : "");
    if (outcome.result == PLAY_OK) tally.dropped = dropped;
}

// A line a second while feeding; the closing one only when there were others.
void HostRun::ShowProgress(bool closing)
{
    const double now = wallClock.Seconds();
    if (closing ? lastProgress == 0 : now - lastProgress < 1.0) return;
    lastProgress = now;
    char line[160];
    std::snprintf(line, sizeof line, "progress: %llu chunks, %llu of %llu bytes (%.0f%%), %.1f s",
                  static_cast<unsigned long long>(tally.chunks), static_cast<unsigned long long>(tally.bytesFed),
                  static_cast<unsigned long long>(stream.Size()), 100.0 * tally.bytesFed / stream.Size(), now);
    out << line << EstimatedTimeLeft(closing) << std::endl;
}

// At the chosen rate the rest of the stream takes a known time; as fast as
// the plug-in returns it does not.
std::string HostRun::EstimatedTimeLeft(bool closing) const
{
    if (closing || options.chunksPerSecond == 0) return "";
    const uint64_t chunks = ChunkCount();
    const double seconds = static_cast<double>(chunks - std::min(chunks, tally.chunks)) / options.chunksPerSecond;
    char text[48];
    std::snprintf(text, sizeof text, ", about %.1f s left", seconds);
    return text;
}

void HostRun::PrintSummary() const
{
    char line[200];
    out << (interrupted ? "\nSummary (interrupted: feeding stopped after chunk " + std::to_string(tally.chunks) + ")\n"
                        : std::string("\nSummary\n"));
    std::snprintf(line, sizeof line, "  chunks fed          %llu of %llu, %llu of %llu bytes",
                  static_cast<unsigned long long>(tally.chunksFed), static_cast<unsigned long long>(tally.chunks),
                  static_cast<unsigned long long>(tally.bytesFed), static_cast<unsigned long long>(stream.Size()));
    out << line << '\n';
    std::snprintf(line, sizeof line, "  Play_InputData      %llu calls, %s in all, %llu held back in step mode",
                  static_cast<unsigned long long>(tally.inputCalls), Seconds(tally.inputSeconds).c_str(),
                  static_cast<unsigned long long>(tally.heldBack));
    out << line << '\n';
    PrintVendorSummary();
    if (options.pause)
        out << "  host pauses         " << tally.hostPauses << ", " << Seconds(tally.hostPauseSeconds) << '\n';
    if (options.step)
        out << "  steps               " << tally.steps << " granted of " << options.step->count << " asked for\n";
    if (!options.capturePath.empty())
        out << "  picture             "
            << (tally.pictureBytes < 0 ? "none"
                                       : options.capturePath + ", " + std::to_string(tally.pictureBytes) + " bytes")
            << '\n';
    out << "  dropped by plug-in  "
        << (tally.dropped < 0 ? std::string("not known (Play_GetThrowNum gave no count)")
                              : std::to_string(tally.dropped))
        << '\n';
    out << "  slow calls          " << report.Slow() << " (" << kSlowCallMilliseconds << " ms or more)\n";
    out << "  unexpected results  " << report.Unexpected() << '\n';
    out << "  wall time           " << Seconds(wallClock.Seconds()) << '\n';
}

void HostRun::PrintVendorSummary() const
{
    if (!journal->Available()) {
        out << "  vendor refusals     not known: the vendor library keeps no journal\n";
        return;
    }
    uint64_t refusals = 0;
    for (const auto& byStatus : tally.refusals) refusals += byStatus.second;
    out << "  vendor took         " << tally.chunksTaken << " chunks, never took " << tally.chunksNeverTaken << '\n'
        << "  vendor refusals     " << refusals << (refusals ? " (" + RefusalText(tally.refusals) + ")" : "") << '\n'
        << "  retry pauses        " << tally.retryPauses << ", " << Seconds(tally.retryPauseSeconds)
        << " from a refusal to the next attempt\n";
}
