#pragma once

// The CPU time of processes as the Linux kernel accounts it, thread by
// thread (/proc/PID/task/*/schedstat, nanoseconds on a CPU): under Wine,
// where GetProcessTimes moves only every 10 ms, it is read through Wine's
// drive Z:. On Windows no /proc is found, and nothing is measured.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

// A running Linux process of this process's Wine prefix (the same
// WINEPREFIX) whose name starts with name as far as the kernel keeps it (15
// characters): the one started last. 0 for none, and where there is no
// /proc. (Under Wine, /proc/self is Wine's server.)
int FindProcess(const std::string& name);

// The CPU time of a process's threads, those it has when this is made.
// Their files stay open, so that a reading costs no more than a read each
// (opening a file is a trip to Wine's server).
class ProcessCpu {
public:
    explicit ProcessCpu(int processId);  // none for 0
    uint64_t Nanoseconds();              // 0 for none

private:
    std::vector<std::ifstream> threads;
};

}  // namespace bench
