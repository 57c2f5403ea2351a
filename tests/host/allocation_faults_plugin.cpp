// A plug-in for the host program's allocation tests: it hands out the player
// of the real PelShx_PlaySDK.dll beside the program, and while the program
// holds it, makes the one allocation of the program that the environment
// variable PELSHX_FAIL_ALLOCATION numbers fail (0: the first after the load).
// When the player is released with no allocation failed, it says so on
// standard error.

#include "PelShx_PlaySDK.h"
#include "support/allocation_faults_win32.h"

#include <cstdlib>

allocation_faults::Switch allocation_faults::inProcess;

namespace {

using allocation_faults::inProcess;

HMODULE RealPlugin()
{
    static const HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    return plugin;
}

template <typename Function>
Function RealExport(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(RealPlugin(), name)));
}

bool FailOneAllocation()
{
    char number[16];
    const DWORD length = GetEnvironmentVariableA("PELSHX_FAIL_ALLOCATION", number, sizeof number);
    if (length == 0 || length >= sizeof number) return true;
    inProcess.allocationsBeforeFailure = std::atoi(number);
    inProcess.onlyOneFails = 1;
    // Pinned: the program's allocations go through this library even after it lets the library go.
    HMODULE self = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCSTR>(&RealPlugin), &self) &&
           allocation_faults::RedirectAllocations(GetModuleHandleA(nullptr), inProcess);
}

}  // namespace

extern "C" IPlayer* PELSHX_CDECL CreateSinglePlayerDll(void)
{
    const auto create = RealExport<PFN_CreateSinglePlayerDll>("CreateSinglePlayerDll");
    return create != nullptr ? create() : nullptr;
}

// What the program allocates afterwards (its summary, its end) is not failed.
extern "C" void PELSHX_STDCALL ReleaseSinglePlayerDll(IPlayer* player)
{
    if (const auto release = RealExport<PFN_ReleaseSinglePlayerDll>("ReleaseSinglePlayerDll")) release(player);
    inProcess.allocationsBeforeFailure = -1;
    if (inProcess.failuresMet != 0) return;
    static const char kNoneFailed[] = "allocation_faults_plugin: no allocation failed\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kNoneFailed, sizeof kNoneFailed - 1, &written, nullptr);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    return reason != DLL_PROCESS_ATTACH || FailOneAllocation();
}
