// The plug-in DLL's own allocations, counted and failed on request: its
// imports of the C runtime's allocation functions are pointed at this
// program's when the program starts, with the DLL already loaded.

#include "support/allocation_faults_win32.h"

allocation_faults::Switch allocation_faults::inProcess;

namespace {

const bool redirected =
    allocation_faults::RedirectAllocations(LoadLibraryA("PelShx_PlaySDK.dll"), allocation_faults::inProcess);

}  // namespace
