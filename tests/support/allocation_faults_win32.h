#pragma once

// The allocations a Windows DLL or program makes through the C runtime,
// counted and failed on request.

#include "support/allocation_faults.h"

#include <windows.h>

namespace allocation_faults {

// Points `module`'s imports of msvcrt.dll's allocation functions (malloc,
// calloc, realloc and _strdup: all that the C++ runtime linked into the
// project's binaries allocates through) at this program's, which consult
// `faults`. Every module redirected in a process consults the switch given
// last. False when the module imports none of them.
bool RedirectAllocations(HMODULE module, Switch& faults);

}  // namespace allocation_faults
