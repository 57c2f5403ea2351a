// pelshx_host: plays a recorded stream through the player plug-in, as a video
// host would, and reports every call; or checks the installation.

#include "PelShx_PlaySDK.h"
#include "host_options.h"
#include "host_platform.h"
#include "host_run.h"
#include "installation_check.h"
#include "player_library.h"

#include <iostream>
#include <new>

namespace {

std::string PluginPath(const HostOptions& options)
{
    return options.pluginPath.empty() ? host_platform::DefaultPluginPath() : options.pluginPath;
}

int PrintVersions(const HostOptions& options)
{
    std::cout << "pelshx_host " << PELSHX_PLAYSDK_VERSION_STRING << '\n';
    PlayerLibrary library;
    PluginProblem problem;
    if (!library.Load(PluginPath(options), problem)) {
        std::cout << "plug-in " << PluginPath(options) << ": not loaded, " << problem.finding << '\n';
        return HOST_EXIT_NO_PLUGIN;
    }
    std::cout << "plug-in " << library.File() << ": " << VersionText(library.File()) << '\n';
    return HOST_EXIT_OK;
}

}  // namespace

int main(int argc, char** argv)
try {
    HostOptions options;
    std::string message;
    switch (ParseHostOptions(argc, argv, options, message)) {
    case ParseOutcome::Help: std::cout << message; return HOST_EXIT_OK;
    case ParseOutcome::Version: return PrintVersions(options);
    case ParseOutcome::Check:
        return CheckInstallation(PluginPath(options), std::cout) ? HOST_EXIT_OK : HOST_EXIT_CHECK_PROBLEM;
    case ParseOutcome::Error:
        std::cerr << "pelshx_host: " << message << "\nTry 'pelshx_host --help' for more information.\n";
        return HOST_EXIT_BAD_COMMAND_LINE;
    case ParseOutcome::Run: break;
    }
    return RunStream(options, PluginPath(options), std::cout, std::cerr);
} catch (const std::bad_alloc&) {
    std::cerr << "pelshx_host: out of memory\n";
    return HOST_EXIT_OUT_OF_MEMORY;
}
