#include "support/allocation_faults_win32.h"

#include <cstring>

namespace allocation_faults {

namespace {

Switch* faults = nullptr;

using Malloc = void*(__cdecl*)(size_t);
using Calloc = void*(__cdecl*)(size_t, size_t);
using Realloc = void*(__cdecl*)(void*, size_t);
using Strdup = char*(__cdecl*)(const char*);
Malloc realMalloc = nullptr;
Calloc realCalloc = nullptr;
Realloc realRealloc = nullptr;
Strdup realStrdup = nullptr;

void* __cdecl FailingMalloc(size_t size)
{
    return faults->NextFails() ? nullptr : realMalloc(size);
}

void* __cdecl FailingCalloc(size_t count, size_t size)
{
    return faults->NextFails() ? nullptr : realCalloc(count, size);
}

// realloc(block, 0) frees the block: no allocation.
void* __cdecl FailingRealloc(void* block, size_t size)
{
    return size != 0 && faults->NextFails() ? nullptr : realRealloc(block, size);
}

char* __cdecl FailingStrdup(const char* text)
{
    return faults->NextFails() ? nullptr : realStrdup(text);
}

// Where the module's import address table holds the address of `function`
// from msvcrt.dll; null when it imports no such function.
ULONG_PTR* RuntimeImport(HMODULE module, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.Size == 0) return nullptr;
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "msvcrt.dll") != 0) continue;
        const auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++address) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<ULONG_PTR*>(&address->u1.Function);
        }
    }
    return nullptr;
}

template <typename Function>
bool Redirect(HMODULE module, const char* name, Function replacement, Function& original)
{
    ULONG_PTR* entry = RuntimeImport(module, name);
    if (entry == nullptr) return false;
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection)) return false;
    if (*entry != reinterpret_cast<ULONG_PTR>(replacement)) original = reinterpret_cast<Function>(*entry);
    *entry = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(entry, sizeof *entry, protection, &protection);
    return true;
}

}  // namespace

bool RedirectAllocations(HMODULE module, Switch& switchToConsult)
{
    if (module == nullptr) return false;
    faults = &switchToConsult;
    const bool malloc = Redirect(module, "malloc", &FailingMalloc, realMalloc);
    const bool calloc = Redirect(module, "calloc", &FailingCalloc, realCalloc);
    const bool realloc = Redirect(module, "realloc", &FailingRealloc, realRealloc);
    const bool strdup = Redirect(module, "_strdup", &FailingStrdup, realStrdup);
    return malloc || calloc || realloc || strdup;
}

}  // namespace allocation_faults
