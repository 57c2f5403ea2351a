#pragma once

// The 64-bit side of the link to the 32-bit helper: the two shared sections,
// the event pair and the helper process. It starts a helper, carries one call
// at a time and sees a helper end or hang; what to do then is the player's
// matter. Nothing here allocates per call.

#include "bridge/bridge_protocol.h"

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

class HelperLink {
public:
    enum class Outcome {
        Answered,
        NotTaken,  // the helper had ended before it took the call
        Ended,     // the helper ended during the call (it crashed)
        Hung,      // the call did not come back in time: the helper was ended
    };

    // How long a call may take before the helper is taken for hung: three
    // times the longest wait the plug-in itself imposes (an input refused ten
    // times, with ten 100 ms pauses), for a loaded machine.
    static constexpr uint32_t kWatchdogMilliseconds = 3000;
    // How long a new helper may take to answer that it is ready.
    static constexpr uint32_t kStartMilliseconds = 10000;
    // How long a crashing helper may take to write its dump.
    static constexpr uint32_t kDumpMilliseconds = 30000;
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
    uint8_t* Data() { return data; }
    uint32_t DataCapacity() const { return dataSize; }

    // Makes the data section large enough for size bytes (at most
    // kMaxCallData), telling a running helper about the new one.
    Outcome GrowData(uint32_t size);

    // Carries the request in the control block to the helper and waits for
    // the answer, serving messages sent to the host's windows meanwhile.
    Outcome Call();

    // The exit code of the last helper that ended.
    uint32_t LastExitCode() const { return lastExitCode; }

    // Ends the helper after asking it to release the player.
    void Stop();

private:
    unsigned long Wait(uint32_t milliseconds);
    Outcome Ended(bool taken);
    void EndHelper(uint32_t exitCode);
    bool MapData(void* section, uint32_t size);

    void* controlSection = nullptr;
    ControlBlock* control = nullptr;
    void* dataSection = nullptr;
    uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    void* requestEvent = nullptr;
    void* responseEvent = nullptr;
    void* hostProcess = nullptr;  // this process, as the helper watches it
    void* job = nullptr;          // ends the helper when this process ends
    void* process = nullptr;
    uint32_t lastExitCode = 0;
};

// The helper program in the x86 folder beside the module that holds this code.
std::wstring HelperProgramFile();

}  // namespace bridge
