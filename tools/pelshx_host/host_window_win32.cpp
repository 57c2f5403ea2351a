// The video window: the plug-in's vendor library draws into it from its own
// side; its messages are only noted here, for the host to serve between two
// calls of the player (see HostRun::ServeWindow), never inside one.

#include "host_platform.h"

#include <windows.h>

namespace host_platform {

namespace {

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

bool RegisterWindowClass()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = VideoWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

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
