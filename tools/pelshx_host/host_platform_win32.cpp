// Windows services: DLLs through LoadLibrary, and the video window, into which
// the plug-in's vendor library draws from its own side. The window's messages
// are only noted here, for the host to serve between two calls of the player
// (see HostRun::ServeWindow), never inside one.

#include "host_platform.h"

#include <windows.h>

#include <cctype>
#include <vector>

namespace host_platform {

namespace {

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

const char kWindowClass[] = "PelShxHostVideo";

WindowRequests pending;

LRESULT CALLBACK VideoWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);  // black where nothing is drawn yet, as a video area
        EndPaint(window, &paint);
        pending.repaint = true;
        return 0;
    }
    case WM_SIZE:
        pending.resized = true;
        pending.width = LOWORD(lParam);
        pending.height = HIWORD(lParam);
        return 0;
    case WM_CLOSE: pending.close = true; return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
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
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void* CreateVideoWindow(int width, int height, const std::string& title)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = VideoWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window =
        CreateWindowExA(0, kWindowClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) return nullptr;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    Wait(0);
    return window;
}

void DestroyVideoWindow(void* window)
{
    if (window == nullptr) return;
    DestroyWindow(static_cast<HWND>(window));
    Wait(0);
    pending = {};
}

WindowRequests TakeWindowRequests()
{
    const WindowRequests taken = pending;
    pending = {};
    return taken;
}

}  // namespace host_platform
