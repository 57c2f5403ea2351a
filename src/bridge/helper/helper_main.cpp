// pelshx_bridge32.exe: the 32-bit helper of the 64-bit PelShx_PlaySDK.dll.
// It loads the 32-bit plug-in from its own folder, makes the player and
// carries out the calls the bridge puts into the shared control block, one at
// a time or nested in one another (bridge_protocol.h), until the bridge
// releases the player or the host process ends.
//
// Command line, all numbers: the control section, the data section and its
// size, the request and response events, and the host process, each a handle
// inherited from the bridge.

#include "bridge/bridge_protocol.h"
#include "bridge/helper/crash_report.h"
#include "bridge/helper/player_calls.h"
#include "bridge/helper/request_wait.h"
#include "bridge/sent_messages.h"

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
int FailStart(PlayerCalls& calls, ControlBlock* control, HANDLE response, int32_t state, uint32_t error)
{
    control->startState = state;
    control->startError = error;
    calls.Answer(0);
    SetEvent(response);
    return 1;
}

// A nested call, posted by the bridge while the call it is nested in waits:
// carried here whenever this thread serves messages, in its wait for requests
// or inside a SendMessage of the vendor library's.
LRESULT CALLBACK NestedCallWindow(HWND window, UINT message, WPARAM depth, LPARAM value)
{
    if (message != bridge::kNestedCallMessage) return DefWindowProcW(window, message, depth, value);
    struct Nested {
        PlayerCalls* calls;
        uint32_t depth;
    } nested = {reinterpret_cast<PlayerCalls*>(GetWindowLongPtrW(window, GWLP_USERDATA)), static_cast<uint32_t>(depth)};
    if (nested.calls == nullptr || depth < 1 || depth >= bridge::kMaxDepth) return 0;
    bridge::ReportCrashesIn(
        [](void* context) {
            const Nested& call = *static_cast<const Nested*>(context);
            call.calls->Carry(call.depth);
        },
        &nested);
    return 0;
}

// A message-only window of this thread, which carries nested calls to calls.
HWND MakeNestedCallWindow(PlayerCalls& calls)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = NestedCallWindow;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PelShxBridgeNestedCalls";
    if (RegisterClassW(&windowClass) == 0) return nullptr;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&calls));
    return window;
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
    PlayerCalls calls(*control, response);
    if (control->version != bridge::kProtocolVersion) return FailStart(calls, control, response, bridge::kBadCommandLine, 0);
    HANDLE watcher = CreateThread(nullptr, 0, EndWithHost, host, 0, nullptr);
    if (watcher == nullptr) return FailStart(calls, control, response, bridge::kBadCommandLine, GetLastError());
    CloseHandle(watcher);
    bridge::InstallCrashReport(*control);

    if (!calls.MapData(0, dataSection, dataSize))
        return FailStart(calls, control, response, bridge::kBadCommandLine, GetLastError());
    HWND window = MakeNestedCallWindow(calls);
    if (window == nullptr) return FailStart(calls, control, response, bridge::kNoWindow, GetLastError());
    // A window handle crosses as its 32-bit value, as Windows shares them between 32-bit and 64-bit processes.
    control->helperWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    const int32_t loaded = calls.Load(OwnFolder());
    if (loaded != bridge::kReady) return FailStart(calls, control, response, loaded, GetLastError());
    control->startState = bridge::kReady;
    RequestWait wait(*control, calls, request, response);
    calls.Answer(0);

    // A hand-over with no call at depth 0 to take is a nested call, posted
    // to the window: served from its messages.
    for (bool answered = true;;) {
        if (!wait.Next(answered)) return 3;
        answered = calls.Requested(0);
        if (!answered) {
            bridge::ServeSentMessages();
        } else if (!calls.Carry(0)) {
            SetEvent(response);
            return 0;
        }
    }
}
