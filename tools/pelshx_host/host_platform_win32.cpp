// Windows services: DLLs through LoadLibrary, waiting with the window's
// messages dispatched (the window itself: host_window_win32.cpp).

#include "host_platform.h"

#include <windows.h>

#include <cctype>
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

void* LoadedVendorLibrary()
{
    return GetModuleHandleA(kVendorLibraryName);
}

std::string FindLibraryFile(const std::string& pathOrName)
{
    char found[MAX_PATH] = {};
    const DWORD length = SearchPathA(nullptr, pathOrName.c_str(), ".dll", sizeof found, found, nullptr);
    return length > 0 && length < sizeof found ? found : "";
}

// A library loaded by its path finds the libraries it needs where the program's
// own are found (beside the program, the system folders, PATH), not beside it.
std::string FindVendorLibraryFor(const std::string&)
{
    return FindLibraryFile(kVendorLibraryName);
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

bool IsAbsolutePath(const std::string& path)
{
    const bool driveRoot = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                           path[2] == '/';
    return driveRoot || path.compare(0, 2, "//") == 0;
}

// Replacing takes a file that is no folder and not read-only, which this
// process may open for deleting while other processes have it open.
bool CanBeReplaced(const std::string& file)
{
    const DWORD attributes = GetFileAttributesA(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
    const HANDLE handle = CreateFileA(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

bool RemoveEmptyDirectory(const std::string& path)
{
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

unsigned ProcessId()
{
    return GetCurrentProcessId();
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
