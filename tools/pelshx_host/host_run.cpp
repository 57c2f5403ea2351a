#include "host_run.h"

#include "call_report.h"
#include "host_platform.h"
#include "player_library.h"
#include "stream_file.h"

#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iomanip>
#include <vector>

namespace {

// How often the window is served: while the host waits, and at most this
// often while it feeds, whose pace it would otherwise set.
constexpr double kServeSeconds = 0.05;

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

std::string Values(const int32_t* values, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? ", " : "") + std::to_string(values[i]);
    return text;
}

std::string Address(const void* address)
{
    return Hex(reinterpret_cast<uintptr_t>(address));
}

// The figures of the closing summary, each counted as it happened.
struct RunTally {
    uint64_t chunks = 0;  // read from the stream and dealt with
    uint64_t chunksFed = 0;
    uint64_t bytesFed = 0;
    uint64_t inputCalls = 0;
    uint64_t heldBack = 0;  // refused in step mode, as asked for
    double inputSeconds = 0;
    uint64_t hostPauses = 0;
    double hostPauseSeconds = 0;
    uint64_t steps = 0;      // granted
    long pictureBytes = -1;  // -1: no picture file
    int32_t dropped = -1;    // inputs the plug-in dropped; -1: not known
};

class HostRun {
public:
    HostRun(const HostOptions& chosen, std::ostream& output, std::ostream& errors)
        : options(chosen), out(output), err(errors), report(output)
    {
    }

    HostExit Execute(const std::string& pluginPath)
    {
        host_platform::CatchInterrupts();  // from the start, so that Ctrl-C always winds down
        std::string error;
        if (!stream.Open(options.streamFile, error)) {
            err << "pelshx_host: cannot read the stream file " << Quoted(options.streamFile) << ": " << error << '\n';
            return HOST_EXIT_NO_STREAM;
        }
        chunkCount = (stream.Size() + options.chunkBytes - 1) / options.chunkBytes;
        if (!RequestsWithinStream()) return HOST_EXIT_BAD_COMMAND_LINE;
        PluginProblem problem;
        if (!library.Load(pluginPath, problem)) {
            err << "pelshx_host: cannot use the plug-in " << Quoted(pluginPath) << ": " << problem.finding << "\n  ("
                << problem.advice << ")\n";
            return HOST_EXIT_NO_PLUGIN;
        }
        out << "Plug-in " << pluginPath << ", stream " << options.streamFile << " (" << stream.Size() << " bytes)\n"
            << Port() << ", chunks of " << options.chunkBytes << " bytes, "
            << (options.chunksPerSecond == 0 ? std::string("as fast as the plug-in takes them")
                                             : std::to_string(options.chunksPerSecond) + " per second")
            << "\n\n";
        Play();
        PrintSummary();
        if (interrupted) return HOST_EXIT_INTERRUPTED;
        return report.Unexpected() == 0 ? HOST_EXIT_OK : HOST_EXIT_UNEXPECTED_RESULT;
    }

private:
    // A pause or step mode asked for at or past the last chunk would never come.
    bool RequestsWithinStream() const
    {
        const auto check = [&](const char* option, uint64_t at) {
            if (at < chunkCount) return true;
            err << "pelshx_host: " << option << " asks for chunk " << at << ", but the stream has " << chunkCount
                << " chunks of " << options.chunkBytes << " bytes (0 to " << chunkCount - 1
                << ")\nTry 'pelshx_host --help' for more information.\n";
            return false;
        };
        return (!options.pause || check("--pause", options.pause->afterChunks)) &&
               (!options.step || check("--step", options.step->afterChunks));
    }

    // Ctrl-C before the player is made makes none; after it, the run winds
    // down as a host would.
    void Play()
    {
        if (Interrupted()) return;
        const Stopwatch create;
        player = library.Create();
        report.Export("CreateSinglePlayerDll()", player ? "player " + Address(player) : "null", create.Seconds(),
                      player != nullptr);
        if (player == nullptr) return;
        Call(0, "Play_Init(0)", [&] { return player->Play_Init(0); });
        if (!Interrupted() && OpenPort()) {
            SetVolume();
            FeedStream();
            if (!interrupted) CapturePicture();
            if (!interrupted && options.readBack) {
                ReadBackSettings();
            } else {
                // What the plug-in dropped, for the summary.
                int32_t dropped = 0;
                if (Call(19, "Play_GetThrowNum(" + Port() + ")", [&] {
                        return player->Play_GetThrowNum(options.port, &dropped);
                    }).result == PLAY_OK)
                    tally.dropped = dropped;
            }
            HoldWindow();
            Call(7, "Play_CloseStream(" + Port() + ")", [&] { return player->Play_CloseStream(options.port); });
        }
        Call(1, "Play_Uninit()", [&] { return player->Play_Uninit(); });
        const Stopwatch release;
        library.Release(player);
        report.Export("ReleaseSinglePlayerDll(" + Address(player) + ")", "done", release.Seconds(), true);
        player = nullptr;
        host_platform::DestroyVideoWindow(window);
    }

    bool Interrupted()
    {
        interrupted = interrupted || host_platform::Interrupted() || windowClosed;
        return interrupted;
    }

    // Times one slot call and reports it: once it succeeded, with what it
    // gave, as `gave` tells it; otherwise with the note.
    TimedResult Call(int slot, const std::string& call, const std::function<int32_t()>& invoke,
                     const std::string& note = "", const std::function<std::string()>& gave = nullptr)
    {
        const TimedResult outcome = TimeCall(invoke);
        report.Slot(slot, call, outcome, outcome.result == PLAY_OK && gave ? gave() : note);
        return outcome;
    }

    bool OpenPort()
    {
        if (Call(4, "Play_SetOpenMode(" + Port() + ", mode " + std::to_string(options.openMode) + ")", [&] {
                return player->Play_SetOpenMode(options.port, options.openMode);
            }).result != PLAY_OK)
            return false;
        if (options.window)
            window = host_platform::CreateVideoWindow(PLAY_PICTURE_WIDTH, PLAY_PICTURE_HEIGHT, "PelShx host - " + Port());
        report.Note(window ? "window " + Address(window) + ": a real window"
                           : std::string("window: null") + (options.window ? " (the system made none)" : ""));
        const std::vector<uint8_t>& head = stream.Head();
        const auto size = static_cast<uint32_t>(head.size());
        return Call(5, "Play_OpenStream(" + Address(window) + ", " + Port() + ", head " + std::to_string(size) +
                           " bytes, 0)",
                    [&] { return player->Play_OpenStream(window, options.port, head.data(), size, 0); })
                   .result == PLAY_OK;
    }

    // Chunks go out at the chosen rate, counted from the start of feeding,
    // with the host's own pauses added. A pause or step mode asked for comes
    // before the chunk with its index.
    void FeedStream()
    {
        std::vector<uint8_t> chunk;
        const Stopwatch feeding;
        while (stream.Next(options.chunkBytes, chunk)) {
            ServeWindow();
            // Ctrl-C: the chunk just read is not fed, and the run winds down.
            if (Interrupted()) break;
            const uint64_t index = tally.chunks++;
            if (options.pause && index == options.pause->afterChunks) HoldForPause();
            if (!(options.step && index == options.step->afterChunks && EnterStepMode(chunk))) {
                if (options.chunksPerSecond > 0)
                    Idle(static_cast<double>(index) / options.chunksPerSecond + tally.hostPauseSeconds -
                         feeding.Seconds());
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

    // Listed: every input call when asked; otherwise the first, the last,
    // those in step mode, and those that did not go straight through in good time.
    bool FeedChunk(const std::vector<uint8_t>& chunk, int32_t expected)
    {
        const auto size = static_cast<uint32_t>(chunk.size());
        const TimedResult outcome =
            TimeCall([&] { return player->Play_InputData(options.port, chunk.data(), size, options.dataType); });
        ++tally.inputCalls;
        tally.inputSeconds += outcome.seconds;
        if (outcome.result == PLAY_OK) {
            ++tally.chunksFed;
            tally.bytesFed += size;
        }
        const bool straightThrough = outcome.result == PLAY_OK && expected == PLAY_OK && !IsSlow(outcome.seconds);
        const bool listed = options.eachInput || tally.inputCalls == 1 || tally.bytesFed >= stream.Size() ||
                            stepsLeft > 0 || !straightThrough;
        if (listed) {
            const bool heldBack = outcome.result == PLAY_ERR_BUFFER && expected == PLAY_ERR_BUFFER;
            report.Slot(6,
                        "Play_InputData(" + Port() + ", chunk " + std::to_string(tally.chunks) + ", " +
                            std::to_string(size) + " bytes, " + DataTypeText(options.dataType) + ")",
                        outcome, heldBack ? "held back: no step granted yet" : "", expected);
        } else if (!quietInputNoted) {
            report.Note("(Play_InputData calls that go straight through in good time are not listed; "
                        "--each-input lists them)");
            quietInputNoted = true;
        }
        return outcome.result == PLAY_OK;
    }

    bool SetPlayState(int32_t state, const std::string& meaning)
    {
        const std::string call = "Play_PlayState(" + Port() + ", " + std::to_string(state) + ")";
        return Call(8, call, [&] { return player->Play_PlayState(options.port, state); }, meaning).result == PLAY_OK;
    }

    void HoldForPause()
    {
        SetPlayState(kStatePause, "pause");
        const Stopwatch held;
        Idle(options.pause->count / 1000.0);
        ++tally.hostPauses;
        tally.hostPauseSeconds += held.Seconds();
        report.Note("host held the stream back for " + Seconds(held.Seconds()));
        SetPlayState(kStatePlay, "play");
    }

    // Step mode grants nothing at first: the chunk offered now must be held
    // back. True when the plug-in took it all the same.
    bool EnterStepMode(const std::vector<uint8_t>& chunk)
    {
        SetPlayState(PLAY_STEP_STATE, "step mode");
        stepsLeft = options.step->count;
        if (FeedChunk(chunk, PLAY_ERR_BUFFER)) return true;
        ++tally.heldBack;
        return false;
    }

    void SetVolume()
    {
        if (!options.volume) return;
        const int32_t level = *options.volume;
        int32_t readBack = -1;
        Call(10, "Play_SetVolume(" + Port() + ", " + std::to_string(level) + ")",
             [&] { return player->Play_SetVolume(options.port, level); });
        Call(11, "Play_GetVolume(" + Port() + ")", [&] { return player->Play_GetVolume(options.port, &readBack); },
             "", [&] { return "volume " + std::to_string(readBack); });
    }

    void CapturePicture()
    {
        if (options.capturePath.empty()) return;
        const std::string& path = options.capturePath;
        std::remove(path.c_str());  // so that a file found afterwards is this capture's
        Call(12, "Play_GetPicture(" + Port() + ", " + Quoted(path) + ")",
             [&] { return player->Play_GetPicture(options.port, reinterpret_cast<uintptr_t>(path.c_str())); });
        tally.pictureBytes = static_cast<long>(platform::FileSize(path));  // by its ANSI name, as the plug-in got it
        report.Note(tally.pictureBytes < 0 ? "no picture file at " + path
                                           : "picture file " + path + ", " + std::to_string(tally.pictureBytes) +
                                                 " bytes");
    }

    void ReadBackSettings()
    {
        const int32_t port = options.port;
        int32_t state = 0, volume = 0, width = 0, height = 0, overlay = 0, quality = 0, headLength = 0;
        uint32_t colourKey = 0;
        int32_t videoParameters[6] = {};
        int32_t region[4] = {};
        const std::string onPort = "(" + Port() + ")";
        Call(9, "Play_GetPlayState" + onPort, [&] { return player->Play_GetPlayState(port, &state); }, "",
             [&] { return "state " + std::to_string(state); });
        Call(11, "Play_GetVolume" + onPort, [&] { return player->Play_GetVolume(port, &volume); }, "",
             [&] { return "volume " + std::to_string(volume); });
        Call(15, "Play_GetPictureSize" + onPort, [&] { return player->Play_GetPictureSize(port, &width, &height); }, "",
             [&] { return std::to_string(width) + " x " + std::to_string(height); });
        Call(3, "Play_GetPreviewMode" + onPort, [&] { return player->Play_GetPreviewMode(port, &overlay, &colourKey); },
             "", [&] { return "overlay " + std::to_string(overlay) + ", colour key " + Hex(colourKey); });
        Call(17, "Play_GetPicQuality" + onPort, [&] { return player->Play_GetPicQuality(port, &quality); }, "",
             [&] { return "quality " + std::to_string(quality); });
        Call(19, "Play_GetThrowNum" + onPort, [&] { return player->Play_GetThrowNum(port, &tally.dropped); }, "",
             [&] { return "dropped " + std::to_string(tally.dropped); });
        Call(21, "Play_SetVideoPara" + onPort, [&] { return player->Play_SetVideoPara(port, videoParameters); }, "",
             [&] { return "video parameters " + Values(videoParameters, 6); });
        Call(23, "Play_SetDispRegion" + onPort, [&] { return player->Play_SetDispRegion(port, region); }, "",
             [&] { return "display region " + Values(region, 4); });
        Call(14, "Play_GetHeadLen()", [&] { return player->Play_GetHeadLen(&headLength); }, "",
             [&] { return "head length " + std::to_string(headLength); });
        Call(13, "Play_RefreshPlay" + onPort, [&] { return player->Play_RefreshPlay(port); });
    }

    // Between two calls of the player: the window's messages are dispatched
    // and what they asked for is served as a video host serves it. Never from
    // the window procedure, which may run while a call waits on another process.
    void ServeWindow()
    {
        if (window == nullptr || wallClock.Seconds() - windowServedAt < kServeSeconds) return;
        windowServedAt = wallClock.Seconds();
        host_platform::Wait(0);
        const host_platform::WindowRequests asked = host_platform::TakeWindowRequests();
        if (asked.close && !windowClosed) report.Note("the window was closed");
        windowClosed = windowClosed || asked.close;
        if (asked.resized) {
            int32_t width = 0, height = 0;
            const std::string area = std::to_string(asked.width) + " x " + std::to_string(asked.height);
            Call(15, "Play_GetPictureSize(" + Port() + ")",
                 [&] { return player->Play_GetPictureSize(options.port, &width, &height); }, "window now " + area,
                 [&] { return std::to_string(width) + " x " + std::to_string(height) + " shown at " + area; });
        }
        if (asked.repaint)
            Call(13, "Play_RefreshPlay(" + Port() + ")", [&] { return player->Play_RefreshPlay(options.port); },
                 "the window asked to be painted");
    }

    // Waits with the window served until the time is up, Ctrl-C is pressed or
    // the window is closed.
    void Idle(double seconds)
    {
        const Stopwatch idle;
        while (!host_platform::Interrupted() && !windowClosed) {
            const double left = seconds - idle.Seconds();
            if (left <= 0) return;
            host_platform::Wait(static_cast<unsigned>(std::ceil(std::min(left, kServeSeconds) * 1000)));
            ServeWindow();
        }
    }

    // After the stream the port stays open with its last picture for the
    // time asked; ending the hold early is no interruption of the run.
    void HoldWindow()
    {
        if (window == nullptr || interrupted || options.holdSeconds <= 0) return;
        report.Note("holding the window open for " + Seconds(options.holdSeconds) +
                    " (close it or press Ctrl-C to end the hold)");
        out.flush();  // whoever watches the output learns now that the picture is final
        Idle(options.holdSeconds);
    }

    // A line a second while feeding; the closing one only when there were
    // others. At the chosen rate the rest of the stream takes a known time.
    void ShowProgress(bool closing)
    {
        const double now = wallClock.Seconds();
        if (closing ? lastProgress == 0 : now - lastProgress < 1.0) return;
        lastProgress = now;
        char line[200];
        const int length = std::snprintf(line, sizeof line, "progress: %llu chunks, %llu of %llu bytes (%.0f%%), %.1f s",
                                         static_cast<unsigned long long>(tally.chunks),
                                         static_cast<unsigned long long>(tally.bytesFed),
                                         static_cast<unsigned long long>(stream.Size()),
                                         100.0 * tally.bytesFed / stream.Size(), now);
        if (!closing && options.chunksPerSecond > 0)
            std::snprintf(line + length, sizeof line - length, ", about %.1f s left",
                          static_cast<double>(chunkCount - std::min(chunkCount, tally.chunks)) / options.chunksPerSecond);
        out << line << std::endl;
    }

    void PrintSummary() const
    {
        const auto figure = [this](const char* label, const std::string& text) {
            out << "  " << std::left << std::setw(20) << label << text << '\n';
        };
        const auto count = [](uint64_t value) { return std::to_string(value); };
        out << "\nSummary"
            << (interrupted ? " (interrupted: feeding stopped after chunk " + count(tally.chunks) + ")" : "") << '\n';
        figure("chunks fed", count(tally.chunksFed) + " of " + count(tally.chunks) + ", " + count(tally.bytesFed) +
                                 " of " + count(stream.Size()) + " bytes");
        figure("Play_InputData", count(tally.inputCalls) + " calls, " + Seconds(tally.inputSeconds) + " in all, " +
                                     count(tally.heldBack) + " held back in step mode");
        if (options.pause) figure("host pauses", count(tally.hostPauses) + ", " + Seconds(tally.hostPauseSeconds));
        if (options.step) figure("steps", count(tally.steps) + " granted of " + count(options.step->count) + " asked for");
        if (!options.capturePath.empty())
            figure("picture", tally.pictureBytes < 0
                                  ? "none"
                                  : options.capturePath + ", " + std::to_string(tally.pictureBytes) + " bytes");
        figure("dropped by plug-in", tally.dropped < 0 ? "not known (Play_GetThrowNum gave no count)"
                                                       : std::to_string(tally.dropped));
        figure("slow calls", std::to_string(report.Slow()) + " (" + std::to_string(kSlowCallMilliseconds) +
                                 " ms or more)");
        figure("unexpected results", std::to_string(report.Unexpected()));
        figure("wall time", Seconds(wallClock.Seconds()));
    }

    std::string Port() const { return "port " + std::to_string(options.port); }

    const HostOptions& options;
    std::ostream& out;
    std::ostream& err;
    CallReport report;
    StreamFile stream;
    uint64_t chunkCount = 0;
    PlayerLibrary library;
    IPlayer* player = nullptr;
    void* window = nullptr;
    uint64_t stepsLeft = 0;
    bool quietInputNoted = false;
    bool interrupted = false;
    bool windowClosed = false;
    double windowServedAt = -1;  // on the wall clock; before the start: the first serving is due at once
    RunTally tally;
    Stopwatch wallClock;
    double lastProgress = 0;
};

}  // namespace

HostExit RunStream(const HostOptions& options, const std::string& pluginPath, std::ostream& out, std::ostream& err)
{
    return HostRun(options, out, err).Execute(pluginPath);
}
