#pragma once

// One Play_InputData at a time, timed call by call, at the sizes a host sends:
// what a host waits for each input, in process or through the 64-bit DLL's
// helper, as median and 90th percentile.

#include "bench_player.h"

namespace bench {

// Prints "Play_InputData BYTES bytes: median M us, 90th percentile P us" for
// 1 KiB and 64 KiB at debug level 0.
void PrintInputLatencies(const Drive& drive);

}  // namespace bench
