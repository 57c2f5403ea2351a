#pragma once

// What the soak driver and the tests watch of a process.

#include <cstdint>

struct ProcessFigures {
    uint64_t memoryBytes;  // natively the resident size, on Windows the private bytes
    int64_t handles;       // open handles on Windows; -1 where not counted
};

ProcessFigures CurrentProcessFigures();

#ifdef _WIN32
// The handles, and among them the files, that the process `processId` has
// open; -1 when they cannot be counted.
int64_t OpenHandles(uint32_t processId);
int64_t OpenFiles(uint32_t processId);
#endif
