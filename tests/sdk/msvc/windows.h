/* The part of the Windows SDK's <windows.h> that the example hosts use, with
 * the Microsoft ABI, for building them here without that SDK. */
#ifndef SDK_TEST_WINDOWS_H
#define SDK_TEST_WINDOWS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned long DWORD;
typedef int BOOL;
typedef struct HINSTANCE__* HMODULE;
typedef int(__stdcall* FARPROC)();

__declspec(dllimport) HMODULE __stdcall LoadLibraryA(const char* name);
__declspec(dllimport) FARPROC __stdcall GetProcAddress(HMODULE module, const char* name);
__declspec(dllimport) BOOL __stdcall FreeLibrary(HMODULE module);
__declspec(dllimport) DWORD __stdcall GetLastError(void);

#ifdef __cplusplus
}
#endif

#endif
