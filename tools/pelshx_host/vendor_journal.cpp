#include "vendor_journal.h"

#include "call_report.h"
#include "host_options.h"
#include "host_platform.h"

#include <cstdio>

namespace {

// How the vendor's functions take their arguments, for printing them.
struct Signature {
    int argumentCount;
    int addressArgument;  // printed in hex; -1 for none
};

constexpr Signature kSignatures[SHX_FUNCTION_COUNT] = {
    {0, -1},  // SHX_PlayStrm_Init
    {0, -1},  // SHX_PlayStrm_Uninit
    {5, -1},  // SHX_PlayStrm_OpenStream(channel, width, height, 0, 0)
    {3, 1},   // SHX_PlayStrm_SetWnd(channel, window, 0)
    {1, -1},  // SHX_PlayStrm_Start(channel)
    {7, 1},   // SHX_PlayStrm_InputData(channel, buffer, size, kind, 0, -1, -1)
    {1, -1},  // SHX_PlayStrm_Stop(channel)
    {2, -1},  // SHX_PlayStrm_EnableSound(channel, on)
    {2, 1},   // SHX_PlayStrm_CapImageBmp(channel, picture)
};

template <typename Function>
Function Lookup(const char* name)
{
    return reinterpret_cast<Function>(host_platform::FindVendorSymbol(name));
}

bool SameRun(const ShxCall& first, const ShxCall& next)
{
    return first.function == next.function && first.status == next.status;
}

}  // namespace

VendorJournal::VendorJournal()
    : callCount(Lookup<decltype(callCount)>("ShxStandin_CallCount")),
      getCall(Lookup<decltype(getCall)>("ShxStandin_GetCall")),
      functionName(Lookup<decltype(functionName)>("ShxStandin_FunctionName"))
{
    if (getCall == nullptr || functionName == nullptr) callCount = nullptr;
}

InputOutcome VendorJournal::InputOutcomeOf(int32_t from, int32_t to) const
{
    InputOutcome outcome;
    ShxCall refused{};
    bool afterRefusal = false;
    ShxCall call{};
    for (int32_t index = from; index < to && Get(index, call); ++index) {
        if (call.function != SHX_INPUT_DATA) continue;
        ++outcome.attempts;
        if (afterRefusal) {
            ++outcome.pauses;
            outcome.pauseSeconds += static_cast<double>(call.microseconds - refused.microseconds) / 1e6;
        }
        afterRefusal = call.status != 0;
        if (call.status == 0) {
            outcome.taken = true;
            continue;
        }
        ++outcome.refusals[call.status];
        ++outcome.refusalCount;
        refused = call;
    }
    return outcome;
}

std::string VendorJournal::Describe(const ShxCall& call) const
{
    const bool known = call.function >= 0 && call.function < SHX_FUNCTION_COUNT;
    const Signature signature = known ? kSignatures[call.function] : Signature{SHX_MAX_ARGUMENTS, -1};
    std::string text = std::string(functionName(call.function)) + "(";
    for (int i = 0; i < signature.argumentCount; ++i) {
        if (i > 0) text += ", ";
        text +=
            i == signature.addressArgument ? Hex(static_cast<uintptr_t>(call.args[i])) : std::to_string(call.args[i]);
    }
    return text + ") -> " + std::to_string(call.status);
}

// How many entries from index on, the first included, repeat its function and status.
int32_t VendorJournal::RunLength(int32_t index, int32_t count) const
{
    ShxCall first{};
    ShxCall next{};
    if (!Get(index, first)) return 1;
    int32_t end = index + 1;
    while (end < count && Get(end, next) && SameRun(first, next)) ++end;
    return end - index;
}

void VendorJournal::Print(std::ostream& out, JournalMode mode) const
{
    if (mode == JournalMode::Off) return;
    if (!Available()) {
        out << "\nVendor library journal: none (the vendor library in use keeps no journal)\n";
        return;
    }
    const int32_t count = Count();
    out << "\nVendor library journal: " << count << " calls received\n";
    ShxCall first{};
    Get(0, first);
    ShxCall call{};
    for (int32_t index = 0; index < count && Get(index, call);) {
        char time[32];
        std::snprintf(time, sizeof time, "%+10.1f ms", (call.microseconds - first.microseconds) / 1e3);
        out << "  " << time << "  " << Describe(call) << '\n';
        const int32_t run = mode == JournalMode::Runs ? RunLength(index, count) : 1;
        if (run > 1)
            out << "                 ... " << run - 1 << " more " << functionName(call.function) << " answered "
                << call.status << '\n';
        index += run;
    }
}
