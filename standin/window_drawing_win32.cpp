#include "window_drawing.h"

#include <windows.h>

#include <cstring>

DrawingProcess ThisProcess()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string file(path, length < sizeof path ? length : 0);
    return {GetCurrentProcessId(), file.substr(file.find_last_of("\\/") + 1)};
}

void DrawIntoWindow(uintptr_t window, const std::vector<uint8_t>& bmp)
{
    BITMAPFILEHEADER fileHeader;
    BITMAPINFO info = {};
    if (window == 0 || bmp.size() < sizeof fileHeader + sizeof info.bmiHeader) return;
    std::memcpy(&fileHeader, bmp.data(), sizeof fileHeader);  // copied: the file's headers are not aligned
    std::memcpy(&info.bmiHeader, bmp.data() + sizeof fileHeader, sizeof info.bmiHeader);
    if (fileHeader.bfOffBits + info.bmiHeader.biSizeImage > bmp.size()) return;

    const HWND target = reinterpret_cast<HWND>(window);  // NOLINT(performance-no-int-to-ptr): a handle's value
    RECT client;
    if (!GetClientRect(target, &client)) return;
    const HDC dc = GetDC(target);
    if (dc == nullptr) return;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, info.bmiHeader.biWidth, info.bmiHeader.biHeight,
                  bmp.data() + fileHeader.bfOffBits, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(target, dc);
}
