#include "player_library.h"

#include "host_platform.h"

namespace {

// The vendor library the plug-in at pluginFile would bring in: the one beside
// it, else the one the system finds by name; "" when there is none.
std::string FindVendorLibraryFor(const std::string& pluginFile)
{
    const std::size_t separator = pluginFile.find_last_of("/\\");
    const std::string directory = separator == std::string::npos ? "." : pluginFile.substr(0, separator);
    const std::string beside = host_platform::FindLibraryFile(directory + "/" + host_platform::VendorLibraryName());
    return beside.empty() ? host_platform::FindLibraryFile(host_platform::VendorLibraryName()) : beside;
}

// A plug-in that the system could not load: is it missing, or is the vendor
// library it needs missing or broken?
void ExplainLoadFailure(const std::string& path, const std::string& systemError, PluginProblem& problem)
{
    const std::string pluginFile = host_platform::FindLibraryFile(path);
    const std::string vendorName = host_platform::VendorLibraryName();
    problem.vendorFile = FindVendorLibraryFor(pluginFile.empty() ? path : pluginFile);
    if (!problem.vendorFile.empty())
        if (void* vendor = host_platform::OpenLibrary(problem.vendorFile, problem.vendorError))
            host_platform::CloseLibrary(vendor);
    const std::string there = "the plug-in " + pluginFile + " is there, but the vendor library ";
    if (pluginFile.empty()) {
        problem.finding = "the plug-in is not there: " + systemError;
        problem.advice = "put PelShx_PlaySDK beside pelshx_host or name it with --plugin=PATH";
    } else if (problem.vendorFile.empty()) {
        problem.finding = there + vendorName + " it needs is neither beside it nor on the library search path: " +
                          systemError;
        problem.advice = "put the vendor's " + vendorName + " beside the plug-in";
    } else if (problem.vendorError.empty()) {
        problem.finding = "the plug-in " + pluginFile + " cannot be loaded: " + systemError;
        problem.advice = "replace it with an intact copy built for this system";
    } else {
        problem.finding = there + problem.vendorFile + " cannot be loaded: " + problem.vendorError;
        problem.advice = "replace " + vendorName + " with an intact copy of the vendor's library for this system";
    }
}

}  // namespace

PlayerLibrary::~PlayerLibrary()
{
    if (library != nullptr) host_platform::CloseLibrary(library);
}

bool PlayerLibrary::Load(const std::string& path, PluginProblem& problem)
{
    std::string error;
    library = host_platform::OpenLibrary(path, error);
    if (library == nullptr) {
        ExplainLoadFailure(path, error, problem);
        return false;
    }
    create = reinterpret_cast<PFN_CreateSinglePlayerDll>(host_platform::FindSymbol(library, "CreateSinglePlayerDll"));
    release = reinterpret_cast<PFN_ReleaseSinglePlayerDll>(host_platform::FindSymbol(library, "ReleaseSinglePlayerDll"));
    if (create != nullptr && release != nullptr) return true;
    void* vendor = host_platform::LoadedVendorLibrary();
    problem = {std::string("it has no export ") + (create == nullptr ? "CreateSinglePlayerDll" : "ReleaseSinglePlayerDll"),
               "use the plug-in PelShx_PlaySDK, not another library",
               vendor != nullptr ? host_platform::LoadedLibraryFile(vendor) : "", ""};
    return false;
}

std::string PlayerLibrary::File() const
{
    return host_platform::LoadedLibraryFile(library);
}

std::string VersionText(const std::string& file)
{
    const std::string version = host_platform::FileVersion(file);
    return version.empty() ? "no version information" : "file version " + version;
}
