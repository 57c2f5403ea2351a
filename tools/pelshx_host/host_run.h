#pragma once

// One run of the host program: a stream played through the plug-in on one
// port, from CreateSinglePlayerDll to ReleaseSinglePlayerDll, reported call by
// call and summed up at the end.

#include "call_report.h"
#include "host_options.h"
#include "player_library.h"
#include "stream_file.h"

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

enum HostExit {
    HOST_EXIT_OK = 0,
    HOST_EXIT_UNEXPECTED_RESULT = 1,
    HOST_EXIT_BAD_COMMAND_LINE = 2,
    HOST_EXIT_NO_PLUGIN = 3,
    HOST_EXIT_NO_STREAM = 4,
    HOST_EXIT_CHECK_PROBLEM = 5,
    HOST_EXIT_OUT_OF_MEMORY = 6,
    HOST_EXIT_INTERRUPTED = 130,  // as shells report a program ended by Ctrl-C
};

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
    HostRun(const HostOptions& chosen, std::ostream& output, std::ostream& errors);
    HostExit Execute(const std::string& pluginPath);

private:
    uint64_t ChunkCount() const;
    bool RequestsWithinStream() const;
    void Play();
    bool Interrupted();
    // Times one slot call and reports it with the note.
    TimedResult Call(int slot, const std::string& call, const std::function<int32_t()>& invoke,
                     const std::string& note = "");
    bool OpenPort();
    void FeedStream();
    bool FeedChunk(const std::vector<uint8_t>& chunk, int32_t expected);
    bool WorthListing(const TimedResult& outcome, int32_t expected);
    bool SetPlayState(int32_t state, const std::string& meaning);
    void HoldForPause();
    bool EnterStepMode(const std::vector<uint8_t>& chunk);
    void SetVolume();
    void CapturePicture();
    void ReadBackSettings();
    void ServeWindow();
    void Idle(double seconds);
    void HoldWindow();
    void ShowProgress(bool closing);
    void PrintSummary() const;

    std::string Port() const { return "port " + std::to_string(options.port); }

    const HostOptions& options;
    std::ostream& out;
    std::ostream& err;
    CallReport report;
    StreamFile stream;
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
