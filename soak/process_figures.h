#pragma once

// What the soak driver watches of its own process.

#include <cstdint>

struct ProcessFigures {
    uint64_t memoryBytes;  // natively the resident size, on Windows the private bytes
    int64_t handles;       // open handles on Windows; -1 where not counted
};

ProcessFigures CurrentProcessFigures();
