#pragma once

// What the stand-in asks of the system to show its picture the way a vendor
// library shows video: drawn from its own side into the window the host gave
// it. One implementation per platform; natively there are no windows.

#include <cstdint>
#include <string>
#include <vector>

struct DrawingProcess {
    uint32_t id = 0;
    std::string name;  // the program's file name, such as "pelshx_bridge32.exe"
};

DrawingProcess ThisProcess();

// Stretches the picture, a BMP file as TestCardBmp makes it, over the
// window's client area. Draws nothing for a null window or a value that is no
// window (any more).
void DrawIntoWindow(uintptr_t window, const std::vector<uint8_t>& bmp);
