#pragma once

// The call journal of the vendor library, when the library in the process
// keeps one. The project's stand-in for SHXStrm does; the vendor's own library
// does not, and then the journal is simply not available.

#include "shxstrm_standin.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

enum class JournalMode;

// What the vendor library made of one Play_InputData call.
struct InputOutcome {
    int attempts = 0;
    bool taken = false;
    std::map<int32_t, int> refusals;  // status, how many times
    int refusalCount = 0;
    // The plug-in's retry pauses, seen as the gaps from a refusal to the attempt after it.
    int pauses = 0;
    double pauseSeconds = 0;
};

class VendorJournal {
public:
    // Looks the journal up in the vendor library that is loaded now.
    VendorJournal();

    bool Available() const { return callCount != nullptr; }
    int32_t Count() const { return Available() ? callCount() : 0; }

    // The input calls among the journal entries from `from` up to `to`.
    InputOutcome InputOutcomeOf(int32_t from, int32_t to) const;

    void Print(std::ostream& out, JournalMode mode) const;

private:
    bool Get(int32_t index, ShxCall& call) const { return getCall(index, &call) == 0; }
    static std::string Describe(const ShxCall& call);
    int32_t RunLength(int32_t index, int32_t count) const;

    int32_t (*callCount)() = nullptr;
    int32_t (*getCall)(int32_t, ShxCall*) = nullptr;
};
