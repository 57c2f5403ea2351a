#pragma once

// The operating-system services the host program needs: loading a library at
// run time, a window for the plug-in to draw in, and waiting. One
// implementation per platform; nothing else in the program includes an
// operating-system header.

#include <string>

namespace host_platform {

using Symbol = void (*)();

// The plug-in library to load when none is named.
std::string DefaultPluginPath();

// Null, with the system's explanation in error, when the library cannot be loaded.
void* OpenLibrary(const std::string& path, std::string& error);
Symbol FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);

// A function of the vendor library that the plug-in brought into the process;
// null when the vendor library is not loaded or has no such function.
Symbol FindVendorSymbol(const char* name);

// The root of the drive the system lives on, where the plug-in looks for its
// configuration: C:\ on Windows; on POSIX the directory named by
// PELSHX_SYSTEM_ROOT, else "/".
std::string SystemDriveRoot();

// A window of the given client size, or null where the system cannot make one.
void* CreateVideoWindow(int width, int height, const std::string& title);
void DestroyVideoWindow(void* window);

// Waits, keeping a window responsive meanwhile.
void Wait(unsigned milliseconds);

}  // namespace host_platform
