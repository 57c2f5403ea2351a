#pragma once

// The operating-system services the host program needs: loading a library at
// run time and finding out about library files, a window for the plug-in to
// draw in, waiting, and the operator's interrupt (Ctrl-C). One
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
// The vendor library that the plug-in brought into the process, usable while
// the plug-in stays loaded; null when it is not loaded.
void* LoadedVendorLibrary();

#ifdef _WIN32
constexpr char kVendorLibraryName[] = "SHXStrm.dll";
// The 64-bit plug-in runs the vendor library in a helper process of its own.
constexpr bool kPluginRunsInHelper = sizeof(void*) == 8;
// A library loaded by its path finds the libraries it needs where the
// program's own are found (beside the program, the system folders, PATH).
constexpr bool kVendorLibraryBesidePlugin = false;
#else
constexpr char kVendorLibraryName[] = "libSHXStrm.so";
constexpr bool kPluginRunsInHelper = false;
// The plug-in finds it through its run path.
constexpr bool kVendorLibraryBesidePlugin = true;
#endif

// The file the system loads for a library path or bare name; "" when it finds none.
std::string FindLibraryFile(const std::string& pathOrName);
// The full file name of a loaded library; "" when the system cannot tell.
std::string LoadedLibraryFile(void* library);
// The file version from a library's version resource, such as "1.0.0.0"; ""
// when the file has none.
std::string FileVersion(const std::string& path);
// The system's ANSI code page, which the plug-in reads its configuration in:
// GetACP() on Windows; natively the Chinese one (936), whose rule the native
// build follows.
unsigned AnsiCodePage();

// Paths here are the plug-in's own, in the ANSI code page and with '/' as
// separator, and go to the system as they are: a path object would convert
// their two-byte names.
// True for a path that names the same place from any current directory and drive.
bool IsAbsolutePath(const std::string& path);
// True when a file that is moved to this existing file's name may replace it.
bool CanBeReplaced(const std::string& file);
bool RemoveEmptyDirectory(const std::string& path);
unsigned ProcessId();

// A resizable window of the given client size, shown, or null where the
// system cannot make one. One at a time.
void* CreateVideoWindow(int width, int height, const std::string& title);
void DestroyVideoWindow(void* window);

// What the window's messages asked of the host since the last call: to be
// painted (WM_PAINT), to lay the picture out for a new client size
// (WM_SIZE), to close (WM_CLOSE; the window stays until it is destroyed).
struct WindowRequests {
    bool repaint = false;
    bool resized = false;
    int width = 0;
    int height = 0;
    bool close = false;
};
WindowRequests TakeWindowRequests();

// From now on an interrupt (Ctrl-C, Ctrl-Break, SIGINT) does not end the
// program but is remembered, for the program to wind down on its own.
void CatchInterrupts();
bool Interrupted();
// Waits, dispatching the window's messages meanwhile; may return early, on a
// message or an interrupt. Wait(0) dispatches what is pending.
void Wait(unsigned milliseconds);

}  // namespace host_platform
