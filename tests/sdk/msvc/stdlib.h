/* The part of the Microsoft C runtime's <stdlib.h> that the example hosts
 * use, from msvcrt.dll. */
#ifndef SDK_TEST_STDLIB_H
#define SDK_TEST_STDLIB_H

#ifdef __cplusplus
extern "C" {
#endif

__declspec(dllimport) int __cdecl atoi(const char* text);
__declspec(dllimport) void __cdecl exit(int status);

#ifdef __cplusplus
}
#endif

#endif
