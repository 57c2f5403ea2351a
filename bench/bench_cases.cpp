#include "bench_cases.h"

#include "config/player_settings.h"
#include "vendor/shx_strm.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace bench {

namespace {

// Inputs whose vendor calls are made again, in turn: every pattern of period up to 6 repeats in them.
constexpr int kRecordedInputs = 60;

std::string RuntimeLog(const Drive& drive)
{
    return drive.TraceDirectory() + player_settings::kRuntimeLogName;
}

std::string ErrorLog(const Drive& drive)
{
    return drive.TraceDirectory() + player_settings::kErrorLogName;
}

}  // namespace

SameVendorCalls::SameVendorCalls(const Drive& drive, bool inputsOnly)
{
    StartedPlayer player(drive, 0);
    ShxStandin_Reset();
    for (int i = 0; i < kRecordedInputs; ++i) player.Input();
    ShxCall call{};
    for (int32_t index = 0; ShxStandin_GetCall(index, &call) == 0; ++index)
        if (!inputsOnly || call.function == SHX_INPUT_DATA) calls.push_back(call);
    ShxStandin_ForgetCalls();
}

void SameVendorCalls::operator()()
{
    for (bool input = false; !input; next = (next + 1) % calls.size()) {
        const int64_t* args = calls[next].args;
        switch (calls[next].function) {
        case SHX_SET_WND:
            SHX_PlayStrm_SetWnd(static_cast<int32_t>(args[0]), reinterpret_cast<void*>(static_cast<uintptr_t>(args[1])),
                                static_cast<int32_t>(args[2]));
            break;
        case SHX_INPUT_DATA:
            SHX_PlayStrm_InputData(static_cast<int32_t>(args[0]),
                                   reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(args[1])),
                                   static_cast<uint32_t>(args[2]), static_cast<int32_t>(args[3]),
                                   static_cast<int32_t>(args[4]), static_cast<int32_t>(args[5]),
                                   static_cast<int32_t>(args[6]));
            input = true;
            break;
        default: std::abort();  // an input made another call: add it here
        }
    }
    journal.Count();
}

RecordByHand::RecordByHand(const Drive& drive, bool errorRecord)
    : path(errorRecord ? ErrorLog(drive) : RuntimeLog(drive))
{
    StartedPlayer player(drive, errorRecord ? 0 : 2);
    std::remove(path.c_str());
    if (errorRecord)
        player.RefusedCall();
    else
        player.Input();
    text = ReadText(path);
    if (text.empty()) std::abort();
}

void RecordByHand::operator()() const
{
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) std::abort();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

const Comparison kComparisons[4] = {
    {"InputData/level0", "SameVendorCalls", "Play_InputData, debug level 0 / the same vendor calls"},
    {"InputData/level2", "RecordAndVendorCallsByHand",
     "Play_InputData, debug level 2 / its runtime record by hand and the same vendor calls"},
    {"ErrorRecord", "ErrorRecordByHand", "a refused call writing one error record / its bytes by hand"},
    {"InputData/level0", "InputCallAlone", "Play_InputData, debug level 0 / the input call alone"},
};

}  // namespace bench
