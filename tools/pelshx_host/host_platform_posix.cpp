// POSIX services for the native build: shared objects through dlopen, no window.

#include "host_platform.h"

#include "platform/platform.h"

#include <atomic>
#include <csignal>
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host_platform {

namespace {

std::atomic<bool> interrupted{false};

void NoteInterrupt(int)
{
    interrupted = true;
}

}  // namespace

std::string DefaultPluginPath()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string program = length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "./";
    return program.substr(0, program.rfind('/')) + "/PelShx_PlaySDK.so";
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

void* LoadedVendorLibrary()
{
    void* vendor = dlopen(kVendorLibraryName, RTLD_LAZY | RTLD_NOLOAD);
    if (vendor != nullptr) dlclose(vendor);  // drops only the reference just added: the plug-in holds its own
    return vendor;
}

// A bare name is looked up by the dynamic loader along paths it keeps to
// itself; only a name with a directory can be found here.
std::string FindLibraryFile(const std::string& pathOrName)
{
    char resolved[PATH_MAX];
    const bool found = pathOrName.find('/') != std::string::npos && realpath(pathOrName.c_str(), resolved) != nullptr;
    return found ? resolved : "";
}

std::string LoadedLibraryFile(void* library)
{
    link_map* map = nullptr;
    return dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr ? map->l_name : "";
}

std::string FileVersion(const std::string&)
{
    return "";  // shared objects carry no version resource
}

unsigned AnsiCodePage()
{
    return 936;
}

bool IsAbsolutePath(const std::string& path)
{
    return !path.empty() && path[0] == '/';
}

bool CanBeReplaced(const std::string& file)
{
    struct stat info;
    return stat(file.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool RemoveEmptyDirectory(const std::string& path)
{
    return rmdir(path.c_str()) == 0;
}

unsigned ProcessId()
{
    return static_cast<unsigned>(getpid());
}

void* CreateVideoWindow(int, int, const std::string&)
{
    return nullptr;
}

void DestroyVideoWindow(void*) {}

WindowRequests TakeWindowRequests()
{
    return {};
}

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
    platform::PauseMilliseconds(milliseconds);
}

}  // namespace host_platform
