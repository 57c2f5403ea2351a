#include "player_library.h"

#include "host_platform.h"

namespace {

// What keeps the vendor library from loading with the plug-in at pluginFile:
// missing, out of the system's sight or broken; no finding when nothing does.
PluginProblem VendorLibraryProblem(const std::string& pluginFile, const std::string& systemError)
{
    const std::string name = host_platform::kVendorLibraryName;
    const std::string beside = host_platform::FindLibraryFile(FolderOf(pluginFile) + "/" + name);
    const std::string vendor = host_platform::kVendorLibraryBesidePlugin ? beside : host_platform::FindLibraryFile(name);
    const std::string there = "the plug-in " + pluginFile + " is there, but the vendor library ";
    if (vendor.empty() && !beside.empty())
        return {there + beside + " is out of the system's sight: a library loaded from another folder gets the "
                                 "libraries it needs from the program's folder, the system folders and PATH",
                "put " + name + " beside the program that loads the plug-in"};
    if (vendor.empty())
        return {there + name + " it needs is neither beside it nor on the library search path: " + systemError,
                "put the vendor's " + name + " beside the plug-in"};
    std::string vendorError;
    void* library = host_platform::OpenLibrary(vendor, vendorError);
    if (library == nullptr)
        return {there + vendor + " cannot be loaded: " + vendorError,
                "replace " + name + " with an intact copy of the vendor's library for this system"};
    host_platform::CloseLibrary(library);
    return {};
}

// A plug-in that the system could not load: is it missing, does the vendor
// library keep it from loading, or is it broken itself? The 64-bit plug-in
// loads no vendor library: its helper does.
PluginProblem ExplainLoadFailure(const std::string& path, const std::string& systemError)
{
    const std::string plugin = host_platform::FindLibraryFile(path);
    if (plugin.empty())
        return {"the plug-in is not there: " + systemError,
                "put PelShx_PlaySDK beside pelshx_host or name it with --plugin=PATH"};
    PluginProblem vendor =
        host_platform::kPluginRunsInHelper ? PluginProblem() : VendorLibraryProblem(plugin, systemError);
    if (!vendor.finding.empty()) return vendor;
    return {"the plug-in " + plugin + " cannot be loaded: " + systemError,
            "replace it with an intact copy built for this system"};
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
        problem = ExplainLoadFailure(path, error);
        return false;
    }
    create = reinterpret_cast<PFN_CreateSinglePlayerDll>(host_platform::FindSymbol(library, "CreateSinglePlayerDll"));
    release = reinterpret_cast<PFN_ReleaseSinglePlayerDll>(host_platform::FindSymbol(library, "ReleaseSinglePlayerDll"));
    if (create != nullptr && release != nullptr) return true;
    problem = {std::string("it has no export ") + (create == nullptr ? "CreateSinglePlayerDll" : "ReleaseSinglePlayerDll"),
               "use the plug-in PelShx_PlaySDK, not another library"};
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

std::string FolderOf(const std::string& file)
{
    const std::size_t separator = file.find_last_of("/\\");
    return separator == std::string::npos ? "." : file.substr(0, separator);
}
