// pelshx_bridge32.exe: the 32-bit helper of the 64-bit PelShx_PlaySDK.dll.
// It loads the 32-bit plug-in from its own folder, makes the player and
// carries out the calls the bridge puts into the shared control block, one at
// a time, until the bridge releases the player or the host process ends.
//
// Command line, all numbers: the control section, the data section and its
// size, the request and response events, and the host process, each a handle
// inherited from the bridge.

#include "bridge/bridge_protocol.h"
#include "bridge/helper/crash_report.h"
#include "bridge/helper/player_calls.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

using bridge::ControlBlock;

HANDLE HandleArgument(const char* text)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 10)));
}

// The helper ends with the host, even in the middle of a call that hangs.
DWORD WINAPI EndWithHost(void* hostProcess)
{
    WaitForSingleObject(hostProcess, INFINITE);
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

std::wstring OwnFolder()
{
    std::wstring file(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &file[0], static_cast<DWORD>(file.size()));
        if (length == 0) return L"";
        if (length < file.size()) break;
        file.resize(file.size() * 2);
    }
    file.resize(file.find_last_of(L"\\/") + 1);
    return file;
}

// Exits with the start-up failure written where the bridge reads it.
int FailStart(ControlBlock* control, HANDLE response, int32_t state, uint32_t error)
{
    control->startState = state;
    control->startError = error;
    SetEvent(response);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 7) return 2;
    HANDLE controlSection = HandleArgument(argv[1]);
    HANDLE dataSection = HandleArgument(argv[2]);
    const uint32_t dataSize = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
    HANDLE request = HandleArgument(argv[4]);
    HANDLE response = HandleArgument(argv[5]);
    HANDLE host = HandleArgument(argv[6]);

    auto* control = static_cast<ControlBlock*>(MapViewOfFile(controlSection, FILE_MAP_WRITE, 0, 0, 0));
    if (control == nullptr) return 2;
    if (control->version != bridge::kProtocolVersion)
        return FailStart(control, response, bridge::kBadCommandLine, 0);
    HANDLE watcher = CreateThread(nullptr, 0, EndWithHost, host, 0, nullptr);
    if (watcher == nullptr) return FailStart(control, response, bridge::kBadCommandLine, GetLastError());
    CloseHandle(watcher);
    bridge::InstallCrashReport(*control);

    PlayerCalls calls(*control);
    if (!calls.MapData(dataSection, dataSize)) return FailStart(control, response, bridge::kBadCommandLine, GetLastError());
    const int32_t loaded = calls.Load(OwnFolder());
    if (loaded != bridge::kReady) return FailStart(control, response, loaded, GetLastError());
    control->startState = bridge::kReady;

    // Answer (at first: ready) and wait for the next request, in one step.
    while (SignalObjectAndWait(response, request, INFINITE, FALSE) == WAIT_OBJECT_0) {
        control->taken = control->sequence;
        const bool released = control->request == bridge::kRelease;
        calls.Carry();
        if (released) {
            SetEvent(response);
            return 0;
        }
    }
    return 3;
}
