// A small stand-in for the vendor library, honouring its calling contract and
// answering as the tests script it, or in live mode as a working library would.

#include "live_channels.h"
#include "shxstrm_standin.h"
#include "test_hooks.h"
#include "vendor/shx_strm.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <type_traits>
#include <vector>

namespace {

LiveChannels LiveChannelsFromEnvironment()
{
    LiveChannels live;
    uint32_t bufferBytes = 0;
    uint32_t drainBytesPerSecond = 0;
    const char* setting = std::getenv("SHXSTRM_SIMULATE");
    if (ParseLiveSetting(setting, bufferBytes, drainBytesPerSecond))
        live.Configure(bufferBytes, drainBytesPerSecond);
    else if (setting != nullptr && *setting != '\0')
        std::fprintf(stderr,
                     "SHXStrm stand-in: SHXSTRM_SIMULATE=\"%s\" is not BUFFER_BYTES,DRAIN_BYTES_PER_SECOND with "
                     "both from 1 to 4294967295; live mode stays off\n",
                     setting);
    return live;
}

// clang-tidy 14 names the implicit copy constructor's parameter __i0; no such name is in the source.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
struct State {
    // Room for the calls of any one test, so that recording a call does not
    // allocate (tests make allocations fail on purpose).
    State() { journal.reserve(4096); }
    std::vector<ShxCall> journal;
    std::deque<int32_t> scripted[SHX_FUNCTION_COUNT];
    LiveChannels live = LiveChannelsFromEnvironment();
};

State& state()
{
    static State instance;
    return instance;
}

int64_t NowMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::optional<int32_t> NextScripted(ShxFunction function)
{
    std::deque<int32_t>& queue = state().scripted[function];
    if (queue.empty()) return std::nullopt;
    const int32_t status = queue.front();
    queue.pop_front();
    return status;
}

// A scripted status wins; otherwise live mode answers, when it is on.
template <typename LiveAnswer>
int32_t Answer(ShxFunction function, LiveAnswer live)
{
    if (const std::optional<int32_t> scripted = NextScripted(function)) return *scripted;
    return state().live.Enabled() ? live(state().live) : 0;
}

int32_t Answer(ShxFunction function)
{
    return NextScripted(function).value_or(0);
}

template <typename T>
int64_t AsArgument(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return static_cast<int64_t>(reinterpret_cast<uintptr_t>(value));
    else
        return static_cast<int64_t>(value);
}

template <typename... Args>
int32_t Record(ShxFunction function, int32_t status, Args... args)
{
    InjectFault(function);
    ShxCall call{function, status, static_cast<int32_t>(sizeof...(Args)), {AsArgument(args)...}, NowMicroseconds()};
    WriteJournalLine(call);
    try {
        state().journal.push_back(call);
    } catch (...) {
        // No exception may cross into the caller; the call goes unrecorded.
    }
    return call.status;
}

}  // namespace

extern "C" {

void ShxStandin_Reset(void)
{
    state() = State{};
}

void ShxStandin_ForgetCalls(void)
{
    state().journal.clear();
}

void ShxStandin_Script(int32_t function, int32_t status, int32_t times)
{
    if (function < 0 || function >= SHX_FUNCTION_COUNT) return;
    for (int32_t i = 0; i < times; ++i) state().scripted[function].push_back(status);
}

int32_t ShxStandin_CallCount(void)
{
    return static_cast<int32_t>(state().journal.size());
}

int32_t ShxStandin_GetCall(int32_t index, ShxCall* call)
{
    if (index < 0 || index >= ShxStandin_CallCount() || call == nullptr) return -1;
    *call = state().journal[static_cast<std::size_t>(index)];
    return 0;
}

void ShxStandin_Simulate(uint32_t bufferBytes, uint32_t drainBytesPerSecond)
{
    state().live = LiveChannels{};
    state().live.Configure(bufferBytes, drainBytesPerSecond);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Init(void)
{
    return Record(SHX_INIT, Answer(SHX_INIT));
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Uninit(void)
{
    return Record(SHX_UNINIT, Answer(SHX_UNINIT));
}

int32_t PELSHX_STDCALL SHX_PlayStrm_OpenStream(int32_t channel, int32_t width, int32_t height, int32_t reserved1,
                                               int32_t reserved2)
{
    const int32_t status = Answer(SHX_OPEN_STREAM, [&](LiveChannels& live) {
        live.Open(channel);
        return 0;
    });
    return Record(SHX_OPEN_STREAM, status, channel, width, height, reserved1, reserved2);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_SetWnd(int32_t channel, void* window, int32_t reserved)
{
    NoteWindow(channel, window);
    const int32_t status = Answer(SHX_SET_WND, [&](LiveChannels& live) {
        live.SetWindow(channel, reinterpret_cast<uintptr_t>(window));
        return 0;
    });
    return Record(SHX_SET_WND, status, channel, window, reserved);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Start(int32_t channel)
{
    return Record(SHX_START, Answer(SHX_START), channel);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_InputData(int32_t channel, const uint8_t* buffer, uint32_t size,
                                              int32_t dataKind, int32_t reserved, int32_t mark1, int32_t mark2)
{
    const int32_t status =
        Answer(SHX_INPUT_DATA, [&](LiveChannels& live) { return live.Input(channel, buffer, size); });
    SendInputMessage(channel);
    return Record(SHX_INPUT_DATA, status, channel, buffer, size, dataKind, reserved, mark1, mark2);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Stop(int32_t channel)
{
    const int32_t status = Answer(SHX_STOP, [&](LiveChannels& live) {
        live.Stop(channel);
        return 0;
    });
    return Record(SHX_STOP, status, channel);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_EnableSound(int32_t channel, int32_t enable)
{
    return Record(SHX_ENABLE_SOUND, Answer(SHX_ENABLE_SOUND), channel, enable);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_CapImageBmp(int32_t channel, uintptr_t picture)
{
    const int32_t status =
        Answer(SHX_CAP_IMAGE_BMP, [&](const LiveChannels& live) { return live.Capture(channel, picture); });
    return Record(SHX_CAP_IMAGE_BMP, status, channel, picture);
}

}
