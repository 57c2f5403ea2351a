// POSIX services for the native build: shared objects through dlopen, no window.

#include "host_platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

namespace host_platform {

namespace {

const char kVendorLibrary[] = "libSHXStrm.so";

std::atomic<bool> interrupted{false};

void NoteInterrupt(int)
{
    interrupted = true;
}

std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

// Runs `use` on the vendor library as loaded now (null when it is not), holding
// it only meanwhile.
template <typename Use>
auto UseLoadedVendor(Use use)
{
    void* vendor = dlopen(kVendorLibrary, RTLD_LAZY | RTLD_NOLOAD);
    auto result = use(vendor);
    if (vendor != nullptr) dlclose(vendor);  // only drops the reference that RTLD_NOLOAD added
    return result;
}

}  // namespace

std::string DefaultPluginPath()
{
    return ProgramDirectory() + "/PelShx_PlaySDK.so";
}

void* OpenLibrary(const std::string& path, std::string& error)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) error = dlerror();
    return library;
}

Symbol FindSymbol(void* library, const char* name)
{
    return reinterpret_cast<Symbol>(dlsym(library, name));
}

void CloseLibrary(void* library)
{
    dlclose(library);
}

bool PluginRunsInHelper()
{
    return false;
}

const char* VendorLibraryName()
{
    return kVendorLibrary;
}

// A bare name is looked up by the dynamic loader along paths it keeps to
// itself; only a name with a directory can be found here.
std::string FindLibraryFile(const std::string& pathOrName)
{
    if (pathOrName.find('/') == std::string::npos) return "";
    char resolved[PATH_MAX];
    return realpath(pathOrName.c_str(), resolved) != nullptr ? resolved : "";
}

std::string LoadedLibraryFile(void* library)
{
    link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return "";
    return map->l_name;
}

std::string LoadedVendorLibraryFile()
{
    return UseLoadedVendor([](void* vendor) { return vendor ? LoadedLibraryFile(vendor) : std::string(); });
}

std::string FileVersion(const std::string&)
{
    return "";  // shared objects carry no version resource
}

bool CanCreateFileIn(const std::string& directory)
{
    return access(directory.c_str(), W_OK | X_OK) == 0;
}

Symbol FindVendorSymbol(const char* name)
{
    return UseLoadedVendor([name](void* vendor) { return vendor ? FindSymbol(vendor, name) : nullptr; });
}

void* CreateVideoWindow(int, int, const std::string&)
{
    return nullptr;
}

void DestroyVideoWindow(void*) {}

void CatchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted()
{
    return interrupted;
}

void Wait(unsigned milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR && !interrupted) {
    }
}

}  // namespace host_platform
