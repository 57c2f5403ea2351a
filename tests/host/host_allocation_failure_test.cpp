// The host program meets a failed allocation of its own, which the C++ runtime
// linked into it throws: it replays a stream through a plug-in that hands out
// the real player and makes the program's Nth allocation fail while it holds
// the player. Whichever allocation fails, the program ends as usual or says
// that it ran out of memory (exit status 6), never in std::terminate.

#include "host/run_program.h"
#include "support/file_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kOutOfMemory = 6;

TEST(HostAllocationFailure, EndsAsUsualOrSaysItRanOutOfMemory)
{
    const std::string root = test_files::TemporaryRootPath();
    test_files::WriteText(test_files::SystemDriveRoot() + "tavo/cfg/TAVO.cfg",
                          "[GLOBAL]\n[TRACE_PATH] [" + root + "host-trace/]\n[DEBUG_LEVEL] [1]\n");
    const std::string stream = root + "host-stream.bin";
    test_files::WriteText(stream, std::string(3 * 4096, '\x5a'));
    int outOfMemory = 0;
    for (int failing = 0;; ++failing) {
        const ProgramRun run =
            RunProgram("pelshx_host", {"--plugin=allocation_faults_plugin.dll", "--rate=0", "--no-window", stream},
                       {{"PELSHX_FAIL_ALLOCATION", std::to_string(failing)}});
        SCOPED_TRACE("allocation " + std::to_string(failing) + " failing:\n" + run.output);
        EXPECT_EQ(std::string::npos, run.output.find("terminate"));
        if (run.exitCode == kOutOfMemory) {
            ++outOfMemory;
            EXPECT_NE(std::string::npos, run.output.find("pelshx_host: out of memory"));
            continue;
        }
        EXPECT_EQ(0, run.exitCode);
        if (run.output.find("no allocation failed") != std::string::npos || run.exitCode != 0) break;
    }
    EXPECT_GE(outOfMemory, 1) << "a failed allocation reached the program's catch";
}

}  // namespace
