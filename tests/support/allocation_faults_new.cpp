// The test program's global operator new, which the plug-in's shared library
// uses too: counted, and failed on request.

#include "support/allocation_faults.h"

#include <cstdlib>
#include <new>

allocation_faults::Switch allocation_faults::inProcess;

void* operator new(std::size_t size)
{
    if (allocation_faults::inProcess.NextFails()) throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
