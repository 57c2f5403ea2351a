#include "bridge/readable_memory.h"

#include "bridge/bridge_protocol.h"

#include <windows.h>

#include <cstring>

namespace bridge {

namespace {

bool ReadableRegion(const MEMORY_BASIC_INFORMATION& region)
{
    const DWORD access = region.Protect & 0xFF;
    return region.State == MEM_COMMIT && (region.Protect & PAGE_GUARD) == 0 && access != PAGE_NOACCESS &&
           access != PAGE_EXECUTE;
}

// How many bytes from address on can be read, counting up to limit.
std::size_t ReadableBytes(uintptr_t address, std::size_t limit)
{
    std::size_t readable = 0;
    while (readable < limit) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(reinterpret_cast<const void*>(address + readable), &region, sizeof region) == 0 ||
            !ReadableRegion(region))
            break;
        readable = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize - address;
    }
    return readable < limit ? readable : limit;
}

}  // namespace

bool IsReadable(const void* address, std::size_t size)
{
    return ReadableBytes(reinterpret_cast<uintptr_t>(address), size) == size;
}

uint32_t CapturePathLength(uintptr_t address)
{
    const std::size_t readable = ReadableBytes(address, kMaxPathBytes);
    const void* end = std::memchr(reinterpret_cast<const void*>(address), '\0', readable);
    if (end != nullptr) return static_cast<uint32_t>(static_cast<const char*>(end) - reinterpret_cast<const char*>(address) + 1);
    return readable == kMaxPathBytes ? kMaxPathBytes : 0;
}

}  // namespace bridge
