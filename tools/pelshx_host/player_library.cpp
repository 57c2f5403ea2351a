#include "player_library.h"

#include "host_platform.h"

namespace {

std::string DirectoryOf(const std::string& file)
{
    const std::size_t separator = file.find_last_of("/\\");
    return separator == std::string::npos ? "." : file.substr(0, separator);
}

// A plug-in that the system could not load: is it missing, or is the vendor
// library it needs missing or broken?
PluginProblem ExplainLoadFailure(const std::string& path, const std::string& systemError)
{
    const std::string pluginFile = host_platform::FindLibraryFile(path);
    const std::string vendorName = host_platform::VendorLibraryName();
    if (pluginFile.empty())
        return {"the plug-in is not there: " + systemError,
                "put PelShx_PlaySDK beside pelshx_host or name it with --plugin=PATH"};
    const std::string vendorFile = FindVendorLibraryFor(pluginFile);
    if (vendorFile.empty())
        return {"the plug-in " + pluginFile + " is there, but the vendor library " + vendorName +
                    " it needs is neither beside it nor on the library search path: " + systemError,
                "put the vendor's " + vendorName + " beside the plug-in"};
    std::string vendorError;
    if (void* vendor = host_platform::OpenLibrary(vendorFile, vendorError)) {
        host_platform::CloseLibrary(vendor);
        return {"the plug-in " + pluginFile + " cannot be loaded: " + systemError,
                "replace it with an intact copy built for this system"};
    }
    return {"the plug-in " + pluginFile + " is there, but the vendor library " + vendorFile +
                " cannot be loaded: " + vendorError,
            "replace " + vendorName + " with an intact copy of the vendor's library for this system"};
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
    const char* missing = create == nullptr    ? "CreateSinglePlayerDll"
                          : release == nullptr ? "ReleaseSinglePlayerDll"
                                               : nullptr;
    if (missing != nullptr)
        problem = {std::string("it has no export ") + missing, "use the plug-in PelShx_PlaySDK, not another library"};
    return missing == nullptr;
}

std::string PlayerLibrary::File() const
{
    return host_platform::LoadedLibraryFile(library);
}

std::string FindVendorLibraryFor(const std::string& pluginFile)
{
    const std::string vendorName = host_platform::VendorLibraryName();
    const std::string beside = host_platform::FindLibraryFile(DirectoryOf(pluginFile) + "/" + vendorName);
    return beside.empty() ? host_platform::FindLibraryFile(vendorName) : beside;
}

std::string VersionText(const std::string& file)
{
    const std::string version = host_platform::FileVersion(file);
    return version.empty() ? "no version information" : "file version " + version;
}
