// Windows services: DLLs through LoadLibrary, waiting with the window's
// messages dispatched (the window itself: host_window_win32.cpp).

#include "host_platform.h"

#include <windows.h>

#include <vector>

namespace host_platform {

namespace {

constexpr DWORD kInterruptCheckMilliseconds = 50;

volatile LONG interrupted = 0;

BOOL WINAPI NoteInterrupt(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    InterlockedExchange(&interrupted, 1);
    return TRUE;
}

std::string SystemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "system error";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message + " (error " + std::to_string(code) + ")";
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

std::string DefaultPluginPath()
{
    return "PelShx_PlaySDK.dll";  // the system looks beside the program first
}

void* OpenLibrary(const std::string& path, std::string& error)
{
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) error = SystemMessage(GetLastError());
    return library;
}

Symbol FindSymbol(void* library, const char* name)
{
    return reinterpret_cast<Symbol>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library)
{
    FreeLibrary(static_cast<HMODULE>(library));
}

bool PluginRunsInHelper()
{
    return sizeof(void*) == 8;
}

const char* VendorLibraryName()
{
    return "SHXStrm.dll";
}

void* LoadedVendorLibrary()
{
    return GetModuleHandleA(VendorLibraryName());
}

std::string FindLibraryFile(const std::string& pathOrName)
{
    char found[MAX_PATH] = {};
    const DWORD length = SearchPathA(nullptr, pathOrName.c_str(), ".dll", sizeof found, found, nullptr);
    return length > 0 && length < sizeof found ? found : "";
}

std::string LoadedLibraryFile(void* library)
{
    char file[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(library), file, sizeof file);
    return length > 0 && length < sizeof file ? file : "";
}

std::string FileVersion(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return "";
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
        infoSize < sizeof *info)
        return "";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

unsigned AnsiCodePage()
{
    return GetACP();
}

// Made under a name of this process's own, which the system deletes when the
// handle is closed, even should the program end first.
bool CanCreateFileIn(const std::string& directory)
{
    const std::string probe =
        directory + "\\pelshx_host_check_" + std::to_string(GetCurrentProcessId()) + ".tmp";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);  // deletes it
    return true;
}

void CatchInterrupts()
{
    SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool Interrupted()
{
    return interrupted != 0;
}

void Wait(unsigned milliseconds)
{
    const DWORD deadline = GetTickCount() + milliseconds;
    for (DWORD now = GetTickCount(); static_cast<LONG>(deadline - now) > 0 && !Interrupted(); now = GetTickCount()) {
        PumpMessages();
        // In slices, since an interrupt arrives on a thread of its own and wakes nothing here.
        const DWORD slice = deadline - now < kInterruptCheckMilliseconds ? deadline - now : kInterruptCheckMilliseconds;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    }
    PumpMessages();
}

}  // namespace host_platform
