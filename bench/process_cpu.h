#pragma once

// The CPU time of processes as the Linux kernel accounts it, thread by
// thread (/proc/PID/task/*/schedstat, nanoseconds on a CPU): under Wine,
// where GetProcessTimes moves only every 10 ms, it is read through Wine's
// drive Z:. On Windows no /proc is found, and nothing is measured.

#include <cstdint>
#include <string>

namespace bench {

// A running Linux process of this process's Wine prefix (the same
// WINEPREFIX) whose name starts with name as far as the kernel keeps it (15
// characters): the one started last. 0 for none, and where there is no
// /proc. (Under Wine, /proc/self is Wine's server.)
int FindProcess(const std::string& name);

// The CPU time of all threads of the process, in nanoseconds; 0 for id 0.
uint64_t CpuNanoseconds(int processId);

}  // namespace bench
