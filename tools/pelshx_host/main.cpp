// pelshx_host: plays a recorded stream through the player plug-in, as a video
// host would, and reports every call.

#include "bench_mode.h"
#include "host_options.h"
#include "host_run.h"

#include <iostream>

int main(int argc, char** argv)
{
    HostOptions options;
    std::string error;
    switch (ParseHostOptions(argc, argv, options, error)) {
    case ParseOutcome::Help: std::cout << HostUsage("pelshx_host"); return HOST_EXIT_OK;
    case ParseOutcome::Error:
        std::cerr << "pelshx_host: " << error << "\nTry 'pelshx_host --help' for more information.\n";
        return HOST_EXIT_BAD_COMMAND_LINE;
    case ParseOutcome::Run: break;
    }
    if (options.bench) return RunBenchMode(options, std::cout, std::cerr);
    return HostRun(options, std::cout, std::cerr).Execute();
}
