// The stand-in's picture in a host's window, read back from the screen: in a
// window of this program given to the plug-in, and in pelshx_host's window.
// Through the 32-bit plug-in the stand-in draws from the host's own process,
// through the 64-bit one from the helper. Each build runs this on an X server
// of its own, in a Wine prefix of its own (see CMakeLists.txt).

#include "PelShx_PlaySDK.h"
#include "run_program.h"
#include "support/file_helpers.h"
#include "support/temporary_root.h"
#include "test_card.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint8_t kDataLevel = 200;
const std::vector<uint8_t> kData(4096, kDataLevel);  // the card's bottom band shows it as grey
// Who draws through the 64-bit plug-in.
const char kHelper[] = "pelshx_bridge32.exe";
const bool kBridged = sizeof(void*) == 8;

void WriteConfiguration()
{
    test_files::WriteText(test_files::SystemDriveRoot() + "tavo/cfg/TAVO.cfg",
                          "[GLOBAL]\n[TRACE_PATH] [" + test_files::TemporaryRootPath() + "trace/]\n");
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// The file name of a process's program, in lower case; "" when there is no such process.
std::string ProgramOf(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    char path[MAX_PATH] = {};
    DWORD size = sizeof path;
    const bool named = process != nullptr && QueryFullProcessImageNameA(process, 0, path, &size);
    if (process != nullptr) CloseHandle(process);
    std::string name = named ? std::string(path, size) : "";
    name = name.substr(name.find_last_of("\\/") + 1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

// The client area of a window on the screen.
RECT OnScreen(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

// What the screen shows in a rectangle: under Wine what the X server shows,
// whichever process drew it.
class Snapshot {
public:
    explicit Snapshot(const RECT& area) : width(area.right - area.left), height(area.bottom - area.top)
    {
        pixels.resize(static_cast<std::size_t>(width) * height);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        SelectObject(memory, previous);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }

    bool operator==(const Snapshot& other) const { return pixels == other.pixels; }

    // The pixel that shows the card's point, the card stretched over the area.
    TestCardColour At(int cardX, int cardY) const
    {
        const int x = (2 * cardX + 1) * width / (2 * TEST_CARD_WIDTH);
        const int y = (2 * cardY + 1) * height / (2 * TEST_CARD_HEIGHT);
        const uint32_t pixel = pixels[static_cast<std::size_t>(y) * width + x];
        return {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)};
    }

    // The value of the code row at the card's line `top`, read at each block's middle.
    uint32_t Code(int top) const
    {
        const int block = TEST_CARD_WIDTH / TEST_CARD_CODE_BITS;
        uint32_t value = 0;
        for (int bit = 0; bit < TEST_CARD_CODE_BITS; ++bit)
            value = value << 1 | (At(bit * block + block / 2, top + TEST_CARD_CODE_HEIGHT / 2).green > 128 ? 1 : 0);
        return value;
    }

    uint32_t Frames() const { return Code(TEST_CARD_FRAME_CODE_TOP); }

private:
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

std::string Text(const TestCardColour& colour)
{
    return std::to_string(colour.red) + "," + std::to_string(colour.green) + "," + std::to_string(colour.blue);
}

// The program of the process that drew the card, while that process runs.
std::string DrawingProgram(const Snapshot& shown)
{
    return ProgramOf(shown.Code(TEST_CARD_PROCESS_CODE_TOP));
}

// The whole card, from its top to its bottom line, showing `frames`.
void ExpectCard(const Snapshot& shown, uint32_t frames)
{
    const int barWidth = TEST_CARD_WIDTH / TEST_CARD_BAR_COUNT;
    for (int bar = 0; bar < TEST_CARD_BAR_COUNT; ++bar)
        EXPECT_EQ(Text(TEST_CARD_BARS[bar]), Text(shown.At(bar * barWidth + barWidth / 2, TEST_CARD_BARS_HEIGHT / 2)))
            << "bar " << bar;
    EXPECT_EQ(frames, shown.Frames());
    EXPECT_EQ(Text({kDataLevel, kDataLevel, kDataLevel}), Text(shown.At(TEST_CARD_WIDTH / 2, TEST_CARD_HEIGHT - 1)))
        << "the bottom line";
}

// A window of this program, given to the plug-in as a host gives it.
class WindowPicture : public ::testing::Test {
protected:
    static constexpr int32_t kPort = 3;

    void SetUp() override
    {
        WriteConfiguration();
        window = CreateHostWindow(616, 432);  // 1.75 by 1.5 times the picture
        ASSERT_NE(nullptr, window);
        plugin = LoadLibraryA("PelShx_PlaySDK.dll");
        ASSERT_NE(nullptr, plugin);
        const auto create = reinterpret_cast<PFN_CreateSinglePlayerDll>(
            reinterpret_cast<void (*)()>(GetProcAddress(plugin, "CreateSinglePlayerDll")));
        release = reinterpret_cast<PFN_ReleaseSinglePlayerDll>(
            reinterpret_cast<void (*)()>(GetProcAddress(plugin, "ReleaseSinglePlayerDll")));
        ASSERT_TRUE(create != nullptr && release != nullptr);
        player = create();
        ASSERT_NE(nullptr, player);
        ASSERT_EQ(PLAY_OK, player->Play_Init(0));
        ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(kPort, 0));
        ASSERT_EQ(PLAY_OK, player->Play_OpenStream(window, kPort, kData.data(), 1, 0));
    }

    void TearDown() override
    {
        if (player != nullptr) {
            player->Play_CloseStream(kPort);
            player->Play_Uninit();
            release(player);
        }
        if (plugin != nullptr) FreeLibrary(plugin);
        if (window != nullptr) DestroyWindow(window);
    }

    static HWND CreateHostWindow(int width, int height)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "WindowPictureTest";
        RegisterClassA(&windowClass);
        const RECT frame = Frame(width, height);
        HWND made = CreateWindowExA(0, windowClass.lpszClassName, "window picture test", WS_OVERLAPPEDWINDOW, 400, 100,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
        ShowWindow(made, SW_SHOWNOACTIVATE);
        PumpMessages();
        return made;
    }

    static RECT Frame(int width, int height)
    {
        RECT frame = {0, 0, width, height};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        return frame;
    }

    void Feed(int inputs, int32_t port = kPort)
    {
        for (int i = 0; i < inputs; ++i) {
            ASSERT_EQ(PLAY_OK, player->Play_InputData(port, kData.data(), static_cast<uint32_t>(kData.size()), 0));
            PumpMessages();
        }
    }

    HWND window = nullptr;
    HMODULE plugin = nullptr;
    PFN_ReleaseSinglePlayerDll release = nullptr;
    IPlayer* player = nullptr;
};

TEST_F(WindowPicture, ShowsTheLastFrameOverTheWholeClientAreaDrawnByTheVendorSide)
{
    Feed(7);  // the plug-in hands the window over again at the fifth
    const Snapshot shown(OnScreen(window));
    ExpectCard(shown, 7);
    EXPECT_EQ(kBridged ? kHelper : ProgramOf(GetCurrentProcessId()), DrawingProgram(shown));

    const RECT frame = Frame(400, 300);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    // As a host's message loop would before its next input: under Wine this
    // shows the window's new, empty area, which would otherwise cover a
    // picture drawn from another process.
    PumpMessages();
    Feed(1);
    ExpectCard(Snapshot(OnScreen(window)), 8);
}

TEST_F(WindowPicture, NullWindowDrawsNothing)
{
    constexpr int32_t kOtherPort = kPort + 1;
    // Where a picture drawn on the screen itself would land, away from the window.
    const RECT corner = {0, 0, TEST_CARD_WIDTH, TEST_CARD_HEIGHT};
    const Snapshot before(corner);
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(kOtherPort, 0));
    ASSERT_EQ(PLAY_OK, player->Play_OpenStream(nullptr, kOtherPort, kData.data(), 1, 0));
    Feed(6, kOtherPort);
    EXPECT_TRUE(before == Snapshot(corner));
}

// pelshx_host with its window, as a person runs it and closes the window.
class HostProgramWindow : public ::testing::Test {
protected:
    static constexpr uint32_t kChunks = 8;

    void SetUp() override
    {
        WriteConfiguration();
        stream = test_files::TemporaryRootPath() + "stream.bin";
        test_files::WriteText(stream, std::string(kChunks * kData.size(), static_cast<char>(kDataLevel)));
    }

    // Runs pelshx_host on the stream; meanwhile watches its window until it
    // shows `frames`, then closes the window. Keeps what the window showed and
    // who drew it.
    ProgramRun RunAndClose(std::vector<std::string> arguments, uint32_t frames)
    {
        std::atomic<bool> running{true};
        std::thread viewer([&] {
            for (; running; Sleep(20)) {
                HWND window = FindWindowA(nullptr, "PelShx host - port 0");
                if (window == nullptr) continue;
                Snapshot shown(OnScreen(window));
                if (shown.Frames() < frames) continue;
                drawer = DrawingProgram(shown);
                seen = std::move(shown);
                PostMessageA(window, WM_CLOSE, 0, 0);
                return;
            }
        });
        arguments.push_back(stream);
        const ProgramRun run = RunProgram("pelshx_host", arguments);
        running = false;
        viewer.join();
        return run;
    }

    static std::size_t At(const ProgramRun& run, const std::string& text) { return run.output.find(text); }

    std::string stream;
    std::optional<Snapshot> seen;
    std::string drawer;
};

TEST_F(HostProgramWindow, HoldsTheLastPictureUntilTheWindowIsClosed)
{
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = RunAndClose({"--rate=0", "--hold=60"}, kChunks);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "the hold was not ended";
    ASSERT_TRUE(seen) << run.output;
    ExpectCard(*seen, kChunks);
    EXPECT_EQ(kBridged ? kHelper : "pelshx_host.exe", drawer);
    EXPECT_EQ(0, run.exitCode) << run.output;

    // Its first paint and size served between the opening and the first input,
    // then the hold with the port open, ended by the closing.
    const std::size_t firstInput = At(run, "slot  6  Play_InputData(");
    EXPECT_LT(At(run, "slot  5  Play_OpenStream("), At(run, "Play_GetPictureSize(port 0)")) << run.output;
    EXPECT_LT(At(run, "0 PLAY_OK, 352 x 288 shown at 352 x 288"), firstInput) << run.output;
    EXPECT_LT(At(run, "Play_RefreshPlay(port 0)"), At(run, "0 PLAY_OK, the window asked to be painted"));
    EXPECT_LT(At(run, "0 PLAY_OK, the window asked to be painted"), firstInput) << run.output;
    EXPECT_LT(At(run, "holding the window open for 60.000 s"), At(run, "  the window was closed")) << run.output;
    EXPECT_LT(At(run, "  the window was closed"), At(run, "slot  7  Play_CloseStream(port 0)")) << run.output;
    EXPECT_NE(std::string::npos, At(run, "slot  7  Play_CloseStream(port 0)")) << run.output;
    EXPECT_EQ(std::string::npos, At(run, "interrupted")) << run.output;
}

TEST_F(HostProgramWindow, ClosingItWhileFeedingWindsDownAsCtrlCDoes)
{
    const ProgramRun run = RunAndClose({"--rate=2"}, 1);
    EXPECT_EQ(130, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, At(run, "  the window was closed")) << run.output;
    EXPECT_NE(std::string::npos, At(run, "Summary (interrupted: feeding stopped after chunk")) << run.output;
    for (const char* windDown : {"slot  7  Play_CloseStream(port 0)", "slot  1  Play_Uninit()", "export   ReleaseSinglePlayerDll("})
        EXPECT_LT(At(run, "  the window was closed"), At(run, windDown)) << windDown << "\n" << run.output;
}

}  // namespace
