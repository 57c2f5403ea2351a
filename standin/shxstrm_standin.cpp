// A small stand-in for the vendor library, honouring its calling contract and
// answering as the tests script it.

#include "shxstrm_standin.h"
#include "vendor/shx_strm.h"

#include <chrono>
#include <deque>
#include <type_traits>
#include <vector>

namespace {

struct State {
    // Room for the calls of any one test, so that recording a call does not
    // allocate (tests make allocations fail on purpose).
    State() { journal.reserve(4096); }
    std::vector<ShxCall> journal;
    std::deque<int32_t> scripted[SHX_FUNCTION_COUNT];
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

int32_t NextStatus(ShxFunction function)
{
    std::deque<int32_t>& queue = state().scripted[function];
    if (queue.empty()) return 0;
    const int32_t status = queue.front();
    queue.pop_front();
    return status;
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
int32_t Record(ShxFunction function, Args... args)
{
    ShxCall call{function, NextStatus(function), {AsArgument(args)...}, NowMicroseconds()};
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

const char* ShxStandin_FunctionName(int32_t function)
{
    static const char* const names[SHX_FUNCTION_COUNT] = {
        "SHX_PlayStrm_Init",  "SHX_PlayStrm_Uninit",    "SHX_PlayStrm_OpenStream",
        "SHX_PlayStrm_SetWnd", "SHX_PlayStrm_Start",    "SHX_PlayStrm_InputData",
        "SHX_PlayStrm_Stop",  "SHX_PlayStrm_EnableSound", "SHX_PlayStrm_CapImageBmp"};
    return function >= 0 && function < SHX_FUNCTION_COUNT ? names[function] : "?";
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Init(void)
{
    return Record(SHX_INIT);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Uninit(void)
{
    return Record(SHX_UNINIT);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_OpenStream(int32_t channel, int32_t width, int32_t height, int32_t reserved1,
                                               int32_t reserved2)
{
    return Record(SHX_OPEN_STREAM, channel, width, height, reserved1, reserved2);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_SetWnd(int32_t channel, void* window, int32_t reserved)
{
    return Record(SHX_SET_WND, channel, window, reserved);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Start(int32_t channel)
{
    return Record(SHX_START, channel);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_InputData(int32_t channel, const uint8_t* buffer, uint32_t size,
                                              int32_t dataKind, int32_t reserved, int32_t mark1, int32_t mark2)
{
    return Record(SHX_INPUT_DATA, channel, buffer, size, dataKind, reserved, mark1, mark2);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_Stop(int32_t channel)
{
    return Record(SHX_STOP, channel);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_EnableSound(int32_t channel, int32_t enable)
{
    return Record(SHX_ENABLE_SOUND, channel, enable);
}

int32_t PELSHX_STDCALL SHX_PlayStrm_CapImageBmp(int32_t channel, uintptr_t picture)
{
    return Record(SHX_CAP_IMAGE_BMP, channel, picture);
}

}
