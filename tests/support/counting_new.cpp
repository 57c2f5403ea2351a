#include "support/counting_new.h"

#include <cstdlib>
#include <new>

long counting_new::allocations = 0;
int counting_new::allocationsBeforeFailure = -1;
bool counting_new::onlyOneFails = false;
int counting_new::failuresMet = 0;

void* operator new(std::size_t size)
{
    using namespace counting_new;
    if (allocationsBeforeFailure == 0) {
        ++failuresMet;
        if (onlyOneFails) allocationsBeforeFailure = -1;
        throw std::bad_alloc();
    }
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    ++allocations;
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
