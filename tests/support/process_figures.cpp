#include "support/process_figures.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <vector>

namespace {

// The private bytes, from the process's own counters. Wine reports none, but
// its pagefile usage, the memory committed to the process, which Windows
// reports as the same figure, follows the process.
uint64_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX memory{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory))
        return 0;
    return memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
}

// One entry of the system's handle table.
struct HandleEntry {
    ULONG processId;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

// The system's handle table; empty when it cannot be read.
std::vector<HandleEntry> SystemHandles()
{
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return {};
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> table(1 << 16);
    LONG status;
    while ((status = query(kSystemHandleInformation, table.data(), static_cast<ULONG>(table.size()), nullptr)) ==
           kInfoLengthMismatch)
        table.resize(table.size() * 2);
    if (status != 0) return {};
    const ULONG count = *reinterpret_cast<const ULONG*>(table.data());
    const auto* entries = reinterpret_cast<const HandleEntry*>(table.data() + sizeof(ULONG_PTR));
    return std::vector<HandleEntry>(entries, entries + count);
}

}  // namespace

// Wine does not count a process's handles; the system's handle table lists them.
int64_t OpenHandles(uint32_t processId)
{
    const std::vector<HandleEntry> handles = SystemHandles();
    if (handles.empty()) return -1;
    return std::count_if(handles.begin(), handles.end(),
                         [&](const HandleEntry& entry) { return entry.processId == processId; });
}

// The table tells objects' types by number only: a file opened here, looked up
// in it, gives the number of files.
int64_t OpenFiles(uint32_t processId)
{
    wchar_t program[MAX_PATH];
    if (GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) return -1;
    HANDLE probe = CreateFileW(program, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return -1;
    const std::vector<HandleEntry> handles = SystemHandles();
    CloseHandle(probe);
    const auto probeEntry = std::find_if(handles.begin(), handles.end(), [&](const HandleEntry& entry) {
        return entry.processId == GetCurrentProcessId() && entry.handle == reinterpret_cast<uintptr_t>(probe);
    });
    if (probeEntry == handles.end()) return -1;
    const int64_t files = std::count_if(handles.begin(), handles.end(), [&](const HandleEntry& entry) {
        return entry.processId == processId && entry.objectType == probeEntry->objectType;
    });
    return processId == GetCurrentProcessId() ? files - 1 : files;
}

ProcessFigures CurrentProcessFigures()
{
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return {PrivateBytes(), handles != 0 ? static_cast<int64_t>(handles) : OpenHandles(GetCurrentProcessId())};
}
#else
#include <fstream>
#include <unistd.h>

ProcessFigures CurrentProcessFigures()
{
    uint64_t pages = 0;
    uint64_t resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return {resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)), -1};
}
#endif
