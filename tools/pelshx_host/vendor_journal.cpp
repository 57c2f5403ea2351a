#include "vendor_journal.h"

#include "call_report.h"
#include "host_options.h"
#include "host_platform.h"

#include <cstdio>

namespace {

template <typename Function>
Function Lookup(const char* name)
{
    return reinterpret_cast<Function>(host_platform::FindVendorSymbol(name));
}

bool SameRun(const ShxCall& first, const ShxCall& next)
{
    return first.function == next.function && first.status == next.status;
}

const char* FunctionName(const ShxCall& call)
{
    return call.function >= 0 && call.function < SHX_FUNCTION_COUNT ? kShxFunctionNames[call.function] : "?";
}

}  // namespace

VendorJournal::VendorJournal()
    : callCount(Lookup<decltype(callCount)>("ShxStandin_CallCount")),
      getCall(Lookup<decltype(getCall)>("ShxStandin_GetCall"))
{
    if (getCall == nullptr) callCount = nullptr;
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

std::string VendorJournal::Describe(const ShxCall& call)
{
    std::string text = std::string(FunctionName(call)) + "(";
    for (int i = 0; i < call.argumentCount && i < SHX_MAX_ARGUMENTS; ++i) {
        if (i > 0) text += ", ";
        const bool address = (call.pointerArguments >> i & 1) != 0;
        text += address ? Hex(static_cast<uintptr_t>(call.args[i])) : std::to_string(call.args[i]);
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
            out << "                 ... " << run - 1 << " more " << FunctionName(call) << " answered "
                << call.status << '\n';
        index += run;
    }
}
