// Windows services: DLLs through LoadLibrary, a plain top-level window.

#include "host_platform.h"

#include <windows.h>

namespace host_platform {

namespace {

const char kVendorLibrary[] = "SHXStrm.dll";
const char kWindowClass[] = "PelShxHostVideo";

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

bool RegisterWindowClass()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::string SystemDriveRoot()
{
    char directory[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    return length >= 3 && length < MAX_PATH ? std::string(directory, 3) : "C:\\";
}

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

Symbol FindVendorSymbol(const char* name)
{
    HMODULE vendor = GetModuleHandleA(kVendorLibrary);
    return vendor == nullptr ? nullptr : FindSymbol(vendor, name);
}

void* CreateVideoWindow(int width, int height, const std::string& title)
{
    if (!RegisterWindowClass()) return nullptr;
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window =
        CreateWindowExA(0, kWindowClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) return nullptr;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages();
    return window;
}

void DestroyVideoWindow(void* window)
{
    if (window == nullptr) return;
    DestroyWindow(static_cast<HWND>(window));
    PumpMessages();
}

void Wait(unsigned milliseconds)
{
    const DWORD deadline = GetTickCount() + milliseconds;
    for (DWORD now = GetTickCount(); static_cast<LONG>(deadline - now) > 0; now = GetTickCount()) {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, deadline - now, QS_ALLINPUT);
    }
    PumpMessages();
}

}  // namespace host_platform
