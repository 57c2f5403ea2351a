// A host whose window procedure calls the player back (sets and reads the
// volume, reads the picture size, refreshes) each time the vendor library
// sends a message to its window during Play_InputData, as the stand-in does
// with SHXSTRM_WINDOW_MESSAGE; with --second-thread another thread sends the
// window the same message all the while the first one feeds. Built for the
// 32-bit DLL, which runs it in process, and for the 64-bit one, which carries
// the window procedure's calls to the helper nested in the input they
// interrupt: the bridge's tests compare what the vendor library received.
//
//   window_procedure_host INPUTS [--second-thread]
//
// Prints "inputs N, window procedure runs W (S sent by the second thread),
// wrong answers X, T ms" and exits with 0 when every answer was the right one.

#include "PelShx_PlaySDK.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const UINT kInputMessage = 0x8123;
const int32_t kPort = 5;
// Values the second thread sends, apart from the stand-in's input counts.
const LPARAM kSecondThreadValues = 1000000;

IPlayer* player = nullptr;
HWND window = nullptr;
long windowProcedureRuns = 0;
long secondThreadRuns = 0;
long wrongAnswers = 0;
// The level last handed to the player: the one a read must give back, even
// when a run nested in this one set another in between.
int32_t lastLevel = -1;
std::atomic<bool> feeding{true};

void Expect(bool right, const char* what, long value)
{
    if (right) return;
    if (++wrongAnswers <= 10) std::printf("wrong answer: %s (message value %ld)\n", what, value);
}

void CallPlayerBack(LPARAM value)
{
    ++windowProcedureRuns;
    if (value >= kSecondThreadValues) ++secondThreadRuns;
    const long number = static_cast<long>(value);
    const int32_t level = static_cast<int32_t>(number % 101);
    lastLevel = level;
    Expect(player->Play_SetVolume(kPort, level) == PLAY_OK, "Play_SetVolume", number);
    const int32_t expected = lastLevel;
    int32_t read = -1;
    Expect(player->Play_GetVolume(kPort, &read) == PLAY_OK && read == expected, "Play_GetVolume", number);
    int32_t width = 0;
    int32_t height = 0;
    Expect(player->Play_GetPictureSize(kPort, &width, &height) == PLAY_OK && width == PLAY_PICTURE_WIDTH &&
               height == PLAY_PICTURE_HEIGHT,
           "Play_GetPictureSize", number);
    Expect(player->Play_RefreshPlay(kPort) == PLAY_OK, "Play_RefreshPlay", number);
}

LRESULT CALLBACK WindowProcedure(HWND target, UINT message, WPARAM channel, LPARAM value)
{
    if (message != kInputMessage) return DefWindowProcW(target, message, channel, value);
    CallPlayerBack(value);
    return 0;
}

// A message-only window: it needs no display, and messages reach it as any other.
HWND MakeWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"WindowProcedureHost";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

DWORD WINAPI SendWhileFeeding(void*)
{
    for (LPARAM value = kSecondThreadValues; feeding; ++value) SendMessageW(window, kInputMessage, 0, value);
    return 0;
}

void ServeMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// Each input different, so that the vendor library's journal tells them apart.
void FillInput(uint8_t* data, std::size_t size, long input)
{
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(input * 131 + static_cast<long>(i) * 7);
    std::memcpy(data, &input, sizeof input);
}

}  // namespace

int main(int argc, char** argv)
{
    const long inputs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
    const bool secondThread = argc > 2 && std::strcmp(argv[2], "--second-thread") == 0;
    if (inputs <= 0) {
        std::printf("usage: window_procedure_host INPUTS [--second-thread]\n");
        return 2;
    }
    // Read by the stand-in, in this process (through the C library, which
    // _putenv tells too) or in the helper, which takes this process's
    // environment when it starts.
    _putenv(("SHXSTRM_WINDOW_MESSAGE=" + std::to_string(kInputMessage)).c_str());
    HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    auto create = plugin == nullptr ? nullptr
                                    : reinterpret_cast<PFN_CreateSinglePlayerDll>(reinterpret_cast<void (*)()>(
                                          GetProcAddress(plugin, "CreateSinglePlayerDll")));
    auto release = plugin == nullptr ? nullptr
                                     : reinterpret_cast<PFN_ReleaseSinglePlayerDll>(reinterpret_cast<void (*)()>(
                                           GetProcAddress(plugin, "ReleaseSinglePlayerDll")));
    window = MakeWindow();
    player = create != nullptr && release != nullptr ? create() : nullptr;
    if (player == nullptr || window == nullptr) {
        std::printf("no player or no window\n");
        return 3;
    }
    const uint8_t openBuffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    if (player->Play_Init(0) != PLAY_OK || player->Play_SetOpenMode(kPort, 0) != PLAY_OK ||
        player->Play_OpenStream(window, kPort, openBuffer, sizeof openBuffer, 0) != PLAY_OK) {
        std::printf("the port did not open\n");
        return 3;
    }

    HANDLE sender = secondThread ? CreateThread(nullptr, 0, SendWhileFeeding, nullptr, 0, nullptr) : nullptr;
    const ULONGLONG start = GetTickCount64();
    uint8_t data[256];
    for (long input = 1; input <= inputs; ++input) {
        FillInput(data, sizeof data, input);
        Expect(player->Play_InputData(kPort, data, sizeof data, 0) == PLAY_OK, "Play_InputData", input);
        ServeMessages();
    }
    feeding = false;
    // The second thread may be waiting for this one to serve its last message.
    while (sender != nullptr && MsgWaitForMultipleObjects(1, &sender, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
        ServeMessages();
    const ULONGLONG spent = GetTickCount64() - start;

    Expect(player->Play_CloseStream(kPort) == PLAY_OK, "Play_CloseStream", 0);
    release(player);
    std::printf("inputs %ld, window procedure runs %ld (%ld sent by the second thread), wrong answers %ld, %llu ms\n",
                inputs, windowProcedureRuns, secondThreadRuns, wrongAnswers, spent);
    return wrongAnswers == 0 ? 0 : 1;
}
