#pragma once

// A switch that counts the allocations of the code under test and makes them
// fail on request. Natively the test program's own global operator new
// consults it (allocation_faults_new.cpp); on Windows the allocation functions
// of the C runtime that a DLL or program imports are pointed at this
// program's, which consult it (allocation_faults_win32.h).

#include <cstdint>

namespace allocation_faults {

// Plain 32-bit fields, so that a 64-bit test can drive the switch of a
// 32-bit process through shared memory.
struct Switch {
    int32_t allocations = 0;                // made so far
    int32_t allocationsBeforeFailure = -1;  // that still succeed; -1: never fail
    int32_t onlyOneFails = 0;               // the failing one alone, else every one from then on
    int32_t failuresMet = 0;                // allocations refused so far

    // Whether the allocation about to be made is to fail; counts it either way.
    bool NextFails()
    {
        if (allocationsBeforeFailure == 0) {
            ++failuresMet;
            if (onlyOneFails != 0) allocationsBeforeFailure = -1;
            return true;
        }
        if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
        ++allocations;
        return false;
    }
};

// The switch of the plug-in's allocations in this process.
extern Switch inProcess;

}  // namespace allocation_faults
