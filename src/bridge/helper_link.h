#pragma once

// The 64-bit side of the link to the 32-bit helper: the control section, a
// data section per nesting depth, the event pair, the helper's window and
// process. It starts a helper, carries a call at any depth and sees a helper
// end or hang; what to do then is the player's matter. Nothing here
// allocates per call.

#include "bridge/bridge_protocol.h"
#include "bridge/hand_over.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace bridge {

// Why no helper could be made ready: the system's error code, which
// CreateSinglePlayerDll leaves for GetLastError, and a text that names the
// file that failed.
struct StartProblem {
    uint32_t systemError = 0;
    std::string text;
};

// How long the bridge polls for an answer before it sleeps on its event:
// twice as long as its last wait lasted, with a little room for a wait of
// nothing, at most the limit; not at all when that wait was longer, or the
// limit is 0.
class PollBudget {
public:
    explicit PollBudget(int64_t limitTicks = 0) : limit(limitTicks) {}
    void Note(int64_t waited)
    {
        ticks = waited <= limit ? std::min(limit, 2 * std::max<int64_t>(waited, 0) + limit / 10) : 0;
    }
    int64_t Ticks() const { return ticks; }

private:
    int64_t limit;
    int64_t ticks = 0;
};

class HelperLink {
public:
    enum class Outcome {
        Answered,
        NotTaken,  // the helper had ended before it took the call
        Ended,     // the helper ended during the call (it crashed)
        Hung,      // the call did not come back in time: the helper was ended
        Lost,      // the helper ended during a call nested in this one, which counted the end
        NotSent,   // a nested call could not be posted to the helper's window
    };

    // How long a call may take before the helper is taken for hung: three
    // times the longest wait the plug-in itself imposes (an input refused ten
    // times, with ten 100 ms pauses), for a loaded machine.
    static constexpr uint32_t kWatchdogMilliseconds = 3000;
    // How long a new helper may take to answer that it is ready.
    static constexpr uint32_t kStartMilliseconds = 10000;
    // How long a crashing helper may take to write its dump.
    static constexpr uint32_t kDumpMilliseconds = 30000;
    // How often calls that come back to back, each answered within its poll,
    // look for messages sent to the host's windows: well within the 1 ms in
    // which a message sent while a call waits is served.
    static constexpr uint32_t kMessageLookMicroseconds = 500;
    // The exit code of a helper that the watchdog ended.
    static constexpr uint32_t kWatchdogExitCode = 258;  // WAIT_TIMEOUT

    HelperLink() = default;
    HelperLink(const HelperLink&) = delete;
    HelperLink& operator=(const HelperLink&) = delete;
    ~HelperLink();

    // Makes the sections and events; false, with the reason, when it cannot.
    bool Prepare(StartProblem& problem);

    // Starts the helper program and waits until it is ready; false, with the
    // reason, when it cannot be started or ends before it is ready.
    bool Start(const std::wstring& helperFile, StartProblem& problem);
    bool Running() const { return process != nullptr; }

    ControlBlock& Control() { return *control; }
    CallRecord& Record(uint32_t depth) { return control->calls[depth]; }
    uint8_t* Data(uint32_t depth) { return data[depth].bytes; }
    uint32_t DataCapacity(uint32_t depth) const { return data[depth].size; }

    // Makes depth's data section large enough for size bytes (at most
    // kMaxCallData), telling a running helper about the new one.
    Outcome GrowData(uint32_t depth, uint32_t size);

    // Carries the request in depth's record to the helper and waits for the
    // answer, serving messages sent to the host's windows meanwhile: a short
    // poll first while the helper polls too and answers have been coming
    // quickly, then a sleep.
    Outcome Call(uint32_t depth);

    // The depth of the innermost call up to depth that the helper had taken
    // and not answered when it ended: the call it ended in; -1 for none.
    int32_t EndedIn(uint32_t depth) const;

    // The exit code of the last helper that ended.
    uint32_t LastExitCode() const { return lastExitCode; }

    // Ends the helper after asking it to release the player.
    void Stop();
    // Ends the helper without a word, as the DLL is unloaded: nothing here
    // waits, so that it may run under the loader lock.
    void Abandon();

private:
    // A data section and its view here; size 0 until a call at its depth needs one.
    struct DataView {
        void* section = nullptr;
        uint8_t* bytes = nullptr;
        uint32_t size = 0;
    };

    // Waits for the answer, first polling for pollTicks.
    Outcome Await(CallRecord& record, uint32_t sequence, uint32_t milliseconds, int64_t pollTicks);
    Outcome Answered(CallRecord& record);
    void LookForSentMessages(int64_t now);
    Outcome Ended(bool taken);
    void EndHelper(uint32_t exitCode);
    static bool NewDataView(DataView& view, uint32_t size);
    static void Discard(DataView& view);

    void* controlSection = nullptr;
    ControlBlock* control = nullptr;
    DataView data[kMaxDepth];
    void* requestEvent = nullptr;
    void* responseEvent = nullptr;
    void* hostProcess = nullptr;  // this process, as the helper watches it
    void* job = nullptr;          // ends the helper when this process ends
    void* process = nullptr;
    void* helperWindow = nullptr;
    uint32_t helpersStarted = 0;  // tells a call whether the helper it waits for is the one running
    PollBudget answers;           // how long the next wait polls for its answer
    int64_t messageLookTicks = 0;
    int64_t lastMessageLook = 0;  // hand-over clock
    uint32_t lastExitCode = 0;
};

// The helper program in the x86 folder beside the module that holds this code.
std::wstring HelperProgramFile();

}  // namespace bridge
