/* The part of the Microsoft C runtime's <stdio.h> that the example hosts use,
 * from msvcrt.dll, for building them here without that runtime's headers. */
#ifndef SDK_TEST_STDIO_H
#define SDK_TEST_STDIO_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _iobuf FILE;

__declspec(dllimport) int __cdecl printf(const char* format, ...);
__declspec(dllimport) FILE* __cdecl fopen(const char* name, const char* mode);
__declspec(dllimport) size_t __cdecl fread(void* data, size_t size, size_t count, FILE* file);
__declspec(dllimport) int __cdecl fclose(FILE* file);

#ifdef __cplusplus
}
#endif

#endif
