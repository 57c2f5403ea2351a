// POSIX services for the native build: shared objects through dlopen, no window.

#include "host_platform.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace host_platform {

namespace {

const char kVendorLibrary[] = "libSHXStrm.so";

std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
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

std::string SystemDriveRoot()
{
    const char* root = std::getenv("PELSHX_SYSTEM_ROOT");
    return root != nullptr && *root != '\0' ? std::string(root) + "/" : "/";
}

Symbol FindVendorSymbol(const char* name)
{
    void* vendor = dlopen(kVendorLibrary, RTLD_LAZY | RTLD_NOLOAD);
    if (vendor == nullptr) return nullptr;
    const Symbol symbol = FindSymbol(vendor, name);
    dlclose(vendor);  // only drops the reference that RTLD_NOLOAD added
    return symbol;
}

void* CreateVideoWindow(int, int, const std::string&)
{
    return nullptr;
}

void DestroyVideoWindow(void*) {}

void Wait(unsigned milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace host_platform
