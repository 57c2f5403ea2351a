// Linked into the tests' build of the 64-bit DLL's helper, made from the
// shipped helper's sources: when the helper starts, the allocations of the
// helper and of the plug-in it loads are pointed at the switch in the shared
// memory that the environment variable PELSHX_ALLOCATION_FAULTS names, which
// the 64-bit test drives (bridge_allocation_failure_test.cpp).

#include "support/allocation_faults_win32.h"

#include <string>

namespace {

allocation_faults::Switch* SharedSwitch()
{
    char name[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("PELSHX_ALLOCATION_FAULTS", name, sizeof name);
    if (length == 0 || length >= sizeof name) return nullptr;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) return nullptr;
    return static_cast<allocation_faults::Switch*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(allocation_faults::Switch)));
}

// The plug-in beside the helper, loaded as the helper loads it: its later load is this one.
HMODULE Plugin()
{
    wchar_t file[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wstring path(file, length);
    path.replace(path.find_last_of(L'\\') + 1, std::wstring::npos, L"PelShx_PlaySDK.dll");
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool RedirectHelperAndPlugin()
{
    allocation_faults::Switch* faults = SharedSwitch();
    return faults != nullptr && allocation_faults::RedirectAllocations(GetModuleHandleW(nullptr), *faults) &&
           allocation_faults::RedirectAllocations(Plugin(), *faults);
}

const bool redirected = RedirectHelperAndPlugin();

}  // namespace
