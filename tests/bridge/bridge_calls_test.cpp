// Calls through the 64-bit DLL as hosts make them: from a window procedure
// while a call waits (nested calls, the stand-in sending its message to the
// window during each input), from two threads at once, and around an unload
// of the DLL with the player alive.

#include "bridge/bridge_fixture.h"
#include "host/run_program.h"
#include "support/file_helpers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using bridge_test::Bridge;
using bridge_test::Checksum;
using bridge_test::ChildrenOf;
using bridge_test::JournalLines;
using bridge_test::Root;

const UINT kInputMessage = 0x8123;
const std::size_t kHostInputs = 200;

std::vector<std::string> Only(const std::vector<std::string>& lines, const std::string& call)
{
    std::vector<std::string> only;
    for (const std::string& line : lines)
        if (line.compare(0, call.size(), call) == 0) only.push_back(line);
    return only;
}

struct HostRun {
    ProgramRun program;
    std::vector<std::string> journal;  // window handles, which differ between processes, left out
};

HostRun RunWindowProcedureHost(const std::string& program, bool secondThread, const std::string& journal)
{
    test_files::Remove(journal);
    std::vector<std::string> arguments{std::to_string(kHostInputs)};
    if (secondThread) arguments.push_back("--second-thread");
    HostRun host{RunProgram(program, arguments, {{"SHXSTRM_JOURNAL", journal}}), {}};
    const std::regex window("0x[0-9a-f]{8}");
    for (const std::string& line : JournalLines(journal, "SHX_PlayStrm_"))
        host.journal.push_back(std::regex_replace(line, window, "window"));
    return host;
}

TEST_F(Bridge, WindowProcedureCallsNestedInInputsGetTheirOwnAnswersAsInProcess)
{
    for (const bool secondThread : {false, true}) {
        SCOPED_TRACE(secondThread ? "a second thread sends to the window too" : "the vendor library sends alone");
        const HostRun bridged = RunWindowProcedureHost("window_procedure_host", secondThread, Root() + "bridged.txt");
        const HostRun inProcess =
            RunWindowProcedureHost("x86\\window_procedure_host", secondThread, Root() + "in-process.txt");
        std::printf("bridged:    %sin process: %s", bridged.program.output.c_str(), inProcess.program.output.c_str());
        EXPECT_EQ(0, bridged.program.exitCode) << bridged.program.output;
        EXPECT_EQ(0, inProcess.program.exitCode) << inProcess.program.output;

        // Every input reached the vendor library once and whole, in order, as in process.
        const std::vector<std::string> inputs = Only(bridged.journal, "SHX_PlayStrm_InputData(");
        EXPECT_EQ(kHostInputs, inputs.size());
        EXPECT_EQ(kHostInputs, std::set<std::string>(inputs.begin(), inputs.end()).size());
        EXPECT_EQ(Only(inProcess.journal, "SHX_PlayStrm_InputData("), inputs);
        // One helper did it all: a new one would have replayed Play_Init.
        EXPECT_EQ(1u, Only(bridged.journal, "SHX_PlayStrm_Init(").size());
        if (!secondThread) {
            EXPECT_EQ(inProcess.journal, bridged.journal);
        } else {
            long runs = 0;
            long fromSecondThread = 0;
            std::sscanf(bridged.program.output.c_str(), "inputs %*ld, window procedure runs %ld (%ld", &runs,
                        &fromSecondThread);
            EXPECT_GT(fromSecondThread, 0) << "the second thread's messages were served during the inputs";
        }
    }
    EXPECT_EQ("", ErrorLog());
}

// A message-only window of this thread, its procedure's object in GWLP_USERDATA.
HWND MakeMessageWindow(const wchar_t* className, WNDPROC procedure, void* owner)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                                  nullptr);
    if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return window;
}

// A window of this thread whose procedure calls the player back, as a host's
// may, each time the stand-in sends it its message during an input.
class WindowHost : public Bridge {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("SHXSTRM_WINDOW_MESSAGE", std::to_string(kInputMessage).c_str());
        Bridge::SetUp();
        window = MakeMessageWindow(L"BridgeCallsTestWindow", Procedure, this);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        Bridge::TearDown();
        DestroyWindow(window);
        SetEnvironmentVariableA("SHXSTRM_WINDOW_MESSAGE", nullptr);
    }

    static LRESULT CALLBACK Procedure(HWND target, UINT message, WPARAM channel, LPARAM value)
    {
        auto* host = reinterpret_cast<WindowHost*>(GetWindowLongPtrW(target, GWLP_USERDATA));
        if (message != kInputMessage || host == nullptr) return DefWindowProcW(target, message, channel, value);
        if (host->callBack) host->callBack();
        return 0;
    }

    HWND window = nullptr;
    std::function<void()> callBack;
};

TEST_F(WindowHost, CallsNestedDeeperThanEightOrReleasingThePlayerAreRefusedAndLeaveTheOthersWhole)
{
    // Each nested input makes the stand-in send its message again, one level deeper.
    uint8_t data[8][16];
    int depth = 0;
    std::vector<int32_t> nested;
    callBack = [&] {
        uint8_t* input = data[++depth % 8];
        for (int i = 0; i < 16; ++i) input[i] = static_cast<uint8_t>(depth * 16 + i);
        nested.push_back(player->Play_InputData(3, input, 16, 0));
        // Not under the calls in flight: the player stays.
        if (depth == 8) release(player);
    };
    ASSERT_NO_FATAL_FAILURE(StartPort(3, window));
    EXPECT_EQ(PLAY_OK, Input(3));

    // Seven calls nested in the first, then an eighth refused; innermost first.
    EXPECT_EQ(std::vector<int32_t>({26, 0, 0, 0, 0, 0, 0, 0}), nested);
    // The inputs from depth 7 down to the first, each with its own data.
    const std::vector<std::string> inputs = JournalLines("SHX_PlayStrm_InputData");
    ASSERT_EQ(8u, inputs.size());
    for (int level = 7; level >= 0; --level) {
        const uint32_t checksum = level == 0 ? Checksum(kData, sizeof kData) : Checksum(data[level], 16);
        char expected[80];
        std::snprintf(expected, sizeof expected, "SHX_PlayStrm_InputData(1, data:%08x, 16, 0, 0, -1, -1) -> 0", checksum);
        EXPECT_EQ(expected, inputs[7 - level]) << "depth " << level;
    }
    EXPECT_NE(std::string::npos, ErrorLog().find("Play_InputData(): nested deeper than 8 calls]")) << ErrorLog();
    EXPECT_NE(std::string::npos, ErrorLog().find("ReleaseSinglePlayerDll(): a call of the same thread is in flight"));
    callBack = nullptr;
    EXPECT_EQ(PLAY_OK, Input(3));
}

TEST_F(WindowHost, CrashInANestedCallCostsItAndTheCallItIsNestedIn)
{
    SetEnvironmentVariableA("SHXSTRM_FAULT", "crash,SHX_PlayStrm_EnableSound,1");
    std::vector<int32_t> answers;
    int32_t level = -1;
    callBack = [&] {
        answers.push_back(player->Play_SetVolume(3, 30));
        answers.push_back(player->Play_GetVolume(3, &level));
    };
    ASSERT_NO_FATAL_FAILURE(StartPort(3, window));
    EXPECT_EQ(PLAY_ERR_UNKNOWN, Input(3)) << "the input the crashed call was nested in";
    EXPECT_EQ(std::vector<int32_t>({PLAY_ERR_UNKNOWN, PLAY_ERR_UNKNOWN}), answers);
    EXPECT_EQ(-1, level);
    SetEnvironmentVariableA("SHXSTRM_FAULT", nullptr);

    // The next call starts a new helper, in which the window's calls work again.
    answers.clear();
    EXPECT_EQ(PLAY_OK, Input(3));
    EXPECT_EQ(std::vector<int32_t>({PLAY_OK, PLAY_OK}), answers);
    EXPECT_EQ(30, level);
    EXPECT_EQ(1u, JournalLines("SHX_PlayStrm_InputData").size()) << "the interrupted input never reached the vendor";
    const std::string log = ErrorLog();
    EXPECT_NE(std::string::npos, log.find("Play_GetVolume(): the helper ended during the call it is nested in]")) << log;
    EXPECT_NE(std::string::npos, log.find("Play_SetVolume(), exit code 0xC")) << log;
}

TEST_F(Bridge, TwoThreadsOnOnePlayerTakeTurnsWithRightAnswersAndEveryInputOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    ASSERT_EQ(PLAY_OK, player->Play_SetOpenMode(4, 0));
    ASSERT_EQ(PLAY_OK, player->Play_OpenStream(reinterpret_cast<void*>(0x1234), 4, kData, sizeof kData, 0));
    std::atomic<long> wrong{0};
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    // Port 3 (channel 1) plays with its state, port 4 (channel 2) with the volume.
    auto feed = [&](int32_t port, std::set<std::string>* inputs) {
        uint8_t data[16] = {static_cast<uint8_t>(port)};
        for (uint32_t round = 1; std::chrono::steady_clock::now() < until; ++round) {
            std::memcpy(data + 1, &round, sizeof round);
            if (player->Play_InputData(port, data, sizeof data, 0) != PLAY_OK) ++wrong;
            char line[80];
            std::snprintf(line, sizeof line, "SHX_PlayStrm_InputData(%d, data:%08x, 16, 0, 0, -1, -1) -> 0", port - 2,
                          Checksum(data, sizeof data));
            inputs->insert(line);
            const int32_t value = static_cast<int32_t>(round % 7) + 2;
            int32_t read = -1;
            if (port == 3 && (player->Play_PlayState(port, value) != PLAY_OK ||
                              player->Play_GetPlayState(port, &read) != PLAY_OK || read != value))
                ++wrong;
            if (port == 4 && (player->Play_SetVolume(port, value) != PLAY_OK ||
                              player->Play_GetVolume(port, &read) != PLAY_OK || read != value))
                ++wrong;
        }
    };
    std::set<std::string> inputs3;
    std::set<std::string> inputs4;
    std::thread other(feed, 4, &inputs4);
    feed(3, &inputs3);
    other.join();
    std::printf("inputs in 3 s: %zu on port 3, %zu on port 4\n", inputs3.size(), inputs4.size());

    EXPECT_EQ(0, wrong.load());
    // Each input once, and nothing else: every line of the two threads differs.
    std::vector<std::string> reached = JournalLines("SHX_PlayStrm_InputData");
    std::vector<std::string> made(inputs3.begin(), inputs3.end());
    made.insert(made.end(), inputs4.begin(), inputs4.end());
    std::sort(reached.begin(), reached.end());
    std::sort(made.begin(), made.end());
    EXPECT_TRUE(reached == made) << reached.size() << " inputs reached the vendor library of " << made.size();
    EXPECT_EQ(1u, JournalLines("SHX_PlayStrm_Init").size()) << "no helper ended";
    EXPECT_EQ("", ErrorLog());
}

TEST_F(Bridge, OutValuesAreWrittenOnSuccessAloneAndNullOutPointersCrossAsNull)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    ASSERT_EQ(PLAY_OK, player->Play_SetVolume(3, 40));
    int32_t level = -1;
    int32_t width = -1;
    int32_t height = -1;
    EXPECT_EQ(PLAY_OK, player->Play_GetVolume(3, &level));
    EXPECT_EQ(40, level);
    EXPECT_EQ(PLAY_OK, player->Play_GetPictureSize(3, &width, &height));
    EXPECT_EQ(PLAY_PICTURE_WIDTH, width);
    EXPECT_EQ(PLAY_PICTURE_HEIGHT, height);

    // A failed call writes nothing, though the last call's values are still at hand.
    level = width = height = -1;
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetVolume(PLAY_MAX_PORTS, &level));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetPictureSize(50, &width, &height));
    // A null pointer reaches the plug-in as null, whose own check answers.
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetPictureSize(3, &width, nullptr));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetPictureSize(3, nullptr, &height));
    EXPECT_EQ(PLAY_ERR_PARAM, player->Play_GetVolume(3, nullptr));
    EXPECT_EQ(-1, level);
    EXPECT_EQ(-1, width);
    EXPECT_EQ(-1, height);
}

// A window of this thread, and another thread that sends it a message every
// millisecond or so carrying the time it was sent: how long each waited to be
// served, in microseconds, while this thread was in its calls.
class TimedMessages {
public:
    TimedMessages()
    {
        window = MakeMessageWindow(L"BridgeTimedMessages", Procedure, this);
        sender = CreateThread(nullptr, 0, Send, this, 0, nullptr);
    }
    ~TimedMessages()
    {
        sending = false;
        // The sender may be waiting for this thread to serve its last message.
        while (sender != nullptr && MsgWaitForMultipleObjects(1, &sender, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
            ServeSent();
        CloseHandle(sender);
        DestroyWindow(window);
    }
    bool Ready() const { return window != nullptr && sender != nullptr; }
    // The waits since the last call, sorted.
    std::vector<double> Take()
    {
        std::vector<double> taken;
        taken.swap(waits);
        std::sort(taken.begin(), taken.end());
        return taken;
    }
    static void ServeSent()
    {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }

private:
    static constexpr UINT kMessage = 0x8124;

    static long long Now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

    static LRESULT CALLBACK Procedure(HWND target, UINT message, WPARAM wParam, LPARAM sent)
    {
        auto* messages = reinterpret_cast<TimedMessages*>(GetWindowLongPtrW(target, GWLP_USERDATA));
        if (message != kMessage || messages == nullptr) return DefWindowProcW(target, message, wParam, sent);
        const std::chrono::steady_clock::duration waited(Now() - static_cast<long long>(sent));
        messages->waits.push_back(std::chrono::duration<double, std::micro>(waited).count());
        return 0;
    }

    static DWORD WINAPI Send(void* context)
    {
        auto* messages = static_cast<TimedMessages*>(context);
        while (messages->sending) {
            SendMessageW(messages->window, kMessage, 0, static_cast<LPARAM>(Now()));
            Sleep(1);
        }
        return 0;
    }

    HWND window = nullptr;
    HANDLE sender = nullptr;
    std::atomic<bool> sending{true};
    std::vector<double> waits;
};

// Waits the host's own code makes between two calls, by spinning (a message
// sent meanwhile waits for the next call), or from 1 ms on serving messages.
void PauseMicroseconds(int microseconds)
{
    if (microseconds >= 1000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(microseconds / 1000), QS_SENDMESSAGE);
        TimedMessages::ServeSent();
        return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    while (std::chrono::steady_clock::now() < end) {
    }
}

// What the messages sent during one part of a test waited to be served.
struct MessageWaits {
    MessageWaits(TimedMessages& messages, std::chrono::steady_clock::time_point partStart)
        : waits(messages.Take()),
          part(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - partStart).count())
    {
    }
    double Median() const { return waits.empty() ? 0 : waits[waits.size() / 2]; }
    // Of the part's time, the share in which the sender waited.
    double Share() const { return std::accumulate(waits.begin(), waits.end(), 0.0) / part; }

    std::vector<double> waits;  // microseconds, sorted
    double part;
};

TEST_F(Bridge, CallsAtAnyPaceAreAnsweredAndMessagesSentToTheHostMeanwhileAreServedWithinAMillisecond)
{
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    std::vector<std::string> expected;
    int failed = 0;
    const auto inputThenPause = [&](int pause) {
        uint8_t data[16] = {};
        const int input = static_cast<int>(expected.size());
        std::memcpy(data, &input, sizeof input);
        if (player->Play_InputData(3, data, sizeof data, 0) != PLAY_OK) ++failed;
        char line[80];
        std::snprintf(line, sizeof line, "SHX_PlayStrm_InputData(1, data:%08x, 16, 0, 0, -1, -1) -> 0",
                      Checksum(data, sizeof data));
        expected.push_back(line);
        PauseMicroseconds(pause);
    };
    // Pauses that change from call to call, so that either side often gives
    // up its poll just as what it waits for comes: a call lost between the
    // poll and the sleep would wait for the watchdog and fail.
    for (int call = 0; call < 1500; ++call) inputThenPause(call * 37 % 101);

    // Messages sent to this thread meanwhile, which would also wake a sleep
    // that missed its call. Back to back, then paced about as long as a poll
    // lasts, and longer.
    TimedMessages messages;
    ASSERT_TRUE(messages.Ready());
    auto partStart = std::chrono::steady_clock::now();
    for (const int pause : {0, 5, 20, 60, 1000})
        for (int call = 0; call < (pause < 1000 ? 300 : 100); ++call) inputThenPause(pause);
    const MessageWaits whileQuick(messages, partStart);

    // Inputs the vendor library refuses at first, taken after one of the
    // plug-in's 100 ms pauses: the host waits long for each, right after
    // quick calls, which have it poll first.
    release(player);
    SetEnvironmentVariableA("SHXSTRM_SIMULATE", "16,160");
    ASSERT_NO_FATAL_FAILURE(StartPort(3));
    SetEnvironmentVariableA("SHXSTRM_SIMULATE", nullptr);
    partStart = std::chrono::steady_clock::now();
    for (int input = 0; input < 8; ++input) {
        int32_t volume = 0;
        for (int call = 0; call < 20; ++call)
            if (player->Play_GetVolume(3, &volume) != PLAY_OK) ++failed;
        if (Input(3) != PLAY_OK) ++failed;
    }
    const MessageWaits whileSlow(messages, partStart);

    EXPECT_EQ(0, failed);
    // Each input reached the vendor library once, in order, from one helper.
    const std::vector<std::string> inputs = JournalLines("SHX_PlayStrm_InputData");
    ASSERT_GE(inputs.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), inputs.begin()));
    EXPECT_EQ(2u, JournalLines("SHX_PlayStrm_Init").size()) << "one helper for each player";
    // The median, as a busy machine delays some messages by tens of
    // milliseconds by its own means, the event hand-over's as much.
    for (const MessageWaits* part : {&whileQuick, &whileSlow}) {
        std::printf("%zu messages served after a median of %.0f us, the longest %.0f us; the sender waited %.0f %% of "
                    "the time\n",
                    part->waits.size(), part->Median(), part->waits.empty() ? 0 : part->waits.back(),
                    part->Share() * 100);
        EXPECT_GT(part->waits.size(), 50u);
        EXPECT_LT(part->Median(), 1000.0);
    }
    // A call that kept messages waiting while it polls would have the sender
    // wait most of the time while calls are slow.
    EXPECT_LT(whileSlow.Share(), 0.5);
    EXPECT_EQ("", ErrorLog());
}

TEST(BridgeLoad, EachLoadMakesOneHelperHoweverManyThreadsCreateAndItsUnloadEndsIt)
{
    for (int load = 1; load <= 5; ++load) {
        SCOPED_TRACE("load " + std::to_string(load));
        ASSERT_EQ(nullptr, GetModuleHandleA("PelShx_PlaySDK.dll")) << "the test must load it itself";
        HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
        ASSERT_NE(nullptr, plugin);
        auto create = reinterpret_cast<PFN_CreateSinglePlayerDll>(
            reinterpret_cast<void (*)()>(GetProcAddress(plugin, "CreateSinglePlayerDll")));
        ASSERT_NE(nullptr, create);
        // Four threads make the first call at once.
        std::atomic<bool> go{false};
        IPlayer* made[4] = {};
        std::vector<std::thread> threads;
        for (IPlayer*& player : made)
            threads.emplace_back([&go, &player, create] {
                while (!go) std::this_thread::yield();
                player = create();
            });
        go = true;
        for (std::thread& thread : threads) thread.join();
        ASSERT_NE(nullptr, made[0]);
        for (IPlayer* player : made) EXPECT_EQ(made[0], player);
        const std::vector<DWORD> helpers = ChildrenOf(GetCurrentProcessId());
        ASSERT_EQ(1u, helpers.size()) << "one helper";
        HANDLE helper = OpenProcess(SYNCHRONIZE, FALSE, helpers[0]);
        ASSERT_NE(nullptr, helper);

        // Unloaded without ReleaseSinglePlayerDll, as plug-in managers do.
        FreeLibrary(plugin);
        EXPECT_EQ(nullptr, GetModuleHandleA("PelShx_PlaySDK.dll"));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(helper, 1000)) << "the helper outlived the DLL by a second";
        CloseHandle(helper);
    }
}

}  // namespace
