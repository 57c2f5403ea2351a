#include "process_figures.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>

ProcessFigures CurrentProcessFigures()
{
    PROCESS_MEMORY_COUNTERS_EX memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return {memory.PrivateUsage, static_cast<int64_t>(handles)};
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
