#pragma once

// Reading host memory that may not be there, without faulting.

#include <cstddef>
#include <cstdint>

namespace bridge {

// True when every byte from address on, size of them, can be read.
bool IsReadable(const void* address, std::size_t size);

// The length with its NUL of the text at address, read up to kMaxPathBytes;
// a longer text is cut to fit with its NUL. 0 when it cannot be read.
uint32_t CapturePathLength(uintptr_t address);

}  // namespace bridge
