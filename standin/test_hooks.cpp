#include "test_hooks.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <array>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct Fault {
    enum class Action { None, Crash, Hang } action = Action::None;
    int32_t function = -1;
    long call = 0;
};

Fault FaultFromEnvironment()
{
    Fault fault;
    const char* setting = std::getenv("SHXSTRM_FAULT");
    if (setting == nullptr || *setting == '\0') return fault;
    const std::string text = setting;
    const std::size_t first = text.find(',');
    const std::size_t second = text.find(',', first + 1);
    const std::string action = text.substr(0, first);
    const std::string function = first == std::string::npos ? "" : text.substr(first + 1, second - first - 1);
    const long call = second == std::string::npos ? 0 : std::strtol(text.c_str() + second + 1, nullptr, 10);
    for (int32_t candidate = 0; candidate < SHX_FUNCTION_COUNT; ++candidate)
        if (function == kShxFunctionNames[candidate]) fault.function = candidate;
    fault.action = action == "crash" ? Fault::Action::Crash : action == "hang" ? Fault::Action::Hang : Fault::Action::None;
    fault.call = call;
    if (fault.action == Fault::Action::None || fault.function < 0 || call < 1) {
        std::fprintf(stderr, "SHXStrm stand-in: SHXSTRM_FAULT=\"%s\" is not crash|hang,FUNCTION,CALL; ignored\n", setting);
        fault.action = Fault::Action::None;
    }
    return fault;
}

uint32_t Checksum(const uint8_t* data, std::size_t size)
{
    uint32_t hash = 2166136261u;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

template <typename T>
const T* Pointer(int64_t argument)
{
    // The journal keeps a pointer argument as the integer of its address.
    return reinterpret_cast<const T*>(static_cast<uintptr_t>(argument));  // NOLINT(performance-no-int-to-ptr)
}

// One argument as the journal file shows it.
void WriteArgument(std::FILE* file, const ShxCall& call, int index)
{
    const int64_t value = call.args[index];
    if (call.function == SHX_SET_WND && index == 1)
        std::fprintf(file, "0x%08x", static_cast<unsigned>(value));
    else if (call.function == SHX_INPUT_DATA && index == 1 && value == 0)
        std::fprintf(file, "null");
    else if (call.function == SHX_INPUT_DATA && index == 1)
        std::fprintf(file, "data:%08x", Checksum(Pointer<uint8_t>(value), static_cast<std::size_t>(call.args[2])));
    else if (call.function == SHX_CAP_IMAGE_BMP && index == 1 && value >= 0x10000)
        std::fprintf(file, "path:%.260s", Pointer<char>(value));
    else
        std::fprintf(file, "%" PRId64, value);
}

// The file that SHXSTRM_JOURNAL names, opened on first use; null when none is named.
std::FILE* JournalFile()
{
    static std::FILE* const file = [] {
        const char* name = std::getenv("SHXSTRM_JOURNAL");
        return name != nullptr && *name != '\0' ? std::fopen(name, "a") : nullptr;
    }();
    return file;
}

// The message SHXSTRM_WINDOW_MESSAGE names, or 0 for none.
unsigned InputMessageFromEnvironment()
{
    const char* setting = std::getenv("SHXSTRM_WINDOW_MESSAGE");
    if (setting == nullptr || *setting == '\0') return 0;
    char* end = nullptr;
    const unsigned long message = std::strtoul(setting, &end, 0);
    if (*end == '\0' && message >= 1 && message <= 0xFFFF) return static_cast<unsigned>(message);
    std::fprintf(stderr, "SHXStrm stand-in: SHXSTRM_WINDOW_MESSAGE=\"%s\" is not a message from 1 to 0xFFFF; ignored\n",
                 setting);
    return 0;
}

std::array<std::atomic<void*>, PLAY_MAX_CHANNELS> channelWindows{};

// Milliseconds since the first call written to the journal file.
double JournalMilliseconds(int64_t microseconds)
{
    static int64_t start = -1;
    if (start < 0) start = microseconds;
    return static_cast<double>(microseconds - start) / 1e3;
}

}  // namespace

void InjectFault(ShxFunction function)
{
    static const Fault fault = FaultFromEnvironment();
    static long calls = 0;
    if (fault.action == Fault::Action::None || function != fault.function || ++calls != fault.call) return;
    if (fault.action == Fault::Action::Crash) {
        // An address in the never-mapped first page, read at run time so that
        // the compiler keeps the write.
        volatile uintptr_t unmapped = 8;
        *reinterpret_cast<volatile int*>(unmapped) = 1;  // NOLINT(performance-no-int-to-ptr): the fault itself
    }
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void WriteJournalLine(const ShxCall& call)
{
    std::FILE* file = JournalFile();
    if (file == nullptr) return;
    std::fprintf(file, "%+10.1f ms  %s(", JournalMilliseconds(call.microseconds), kShxFunctionNames[call.function]);
    for (int i = 0; i < call.argumentCount; ++i) {
        if (i > 0) std::fputs(", ", file);
        WriteArgument(file, call, i);
    }
    std::fprintf(file, ") -> %" PRId32 "\n", call.status);
    std::fflush(file);
}

void NoteWindow(int32_t channel, void* window)
{
    if (channel >= 0 && channel < PLAY_MAX_CHANNELS) channelWindows[static_cast<std::size_t>(channel)] = window;
}

void SendInputMessage(int32_t channel)
{
    static const unsigned message = InputMessageFromEnvironment();
    if (message == 0) return;
    static std::atomic<long> inputs{0};
    const long input = ++inputs;
    if (channel < 0 || channel >= PLAY_MAX_CHANNELS) return;
    void* window = channelWindows[static_cast<std::size_t>(channel)].load();
#if defined(_WIN32)
    if (window != nullptr) SendMessageW(static_cast<HWND>(window), message, static_cast<WPARAM>(channel), input);
#else
    static_cast<void>(window);  // no windows to send to
    static_cast<void>(input);
#endif
}
