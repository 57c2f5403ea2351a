#pragma once

// Control interface of the stand-in for the vendor library SHXStrm.dll.
//
// The stand-in implements the vendor library's functions: each call is
// written to a journal with its arguments and time, and answers the next status
// scripted for its function, or 0 when none is left. Tests script answers, read
// the journal and reset it through the functions below.
//
// In live mode, what is not scripted is answered as a working library would
// answer: each channel has an input buffer that drains at a steady rate and
// refuses data with -2 while it has no room, and SHX_PlayStrm_CapImageBmp takes
// its picture argument as the address of a file path and writes a 352 by 288
// BMP test card there (channel, frames and bytes taken, and a band drawn from
// the last data). Live mode starts switched on when the environment variable
// SHXSTRM_SIMULATE holds "BUFFER_BYTES,DRAIN_BYTES_PER_SECOND", for example
// SHXSTRM_SIMULATE=16384,131072.
//
// When the environment variable SHXSTRM_JOURNAL names a file, every call is
// also appended there as a line, with its time since the first call
// (test_hooks.h).

#include "vendor/shx_strm.h"  // ShxFunction

#include <cstdint>

#if defined(_WIN32)
#if defined(SHXSTRM_STANDIN_BUILD)
#define SHXSTRM_STANDIN_API __declspec(dllexport)
#else
#define SHXSTRM_STANDIN_API __declspec(dllimport)
#endif
#else
#define SHXSTRM_STANDIN_API __attribute__((visibility("default")))
#endif

extern "C" {

enum { SHX_MAX_ARGUMENTS = 7 };

struct ShxCall {
    int32_t function;                 // ShxFunction
    int32_t status;                   // what the call returned
    int32_t argumentCount;            // how many of args the function takes
    int64_t args[SHX_MAX_ARGUMENTS];  // in order; pointers as their address; unused ones 0
    int64_t microseconds;             // steady clock time of the call
};

// Forgets the journal and every scripted status, and puts live mode back as
// SHXSTRM_SIMULATE sets it.
SHXSTRM_STANDIN_API void ShxStandin_Reset(void);
// Forgets the journal only, keeping its room: long runs stay at a steady size.
SHXSTRM_STANDIN_API void ShxStandin_ForgetCalls(void);
// The next `times` calls of `function` answer `status` (after what is scripted already).
SHXSTRM_STANDIN_API void ShxStandin_Script(int32_t function, int32_t status, int32_t times);
SHXSTRM_STANDIN_API int32_t ShxStandin_CallCount(void);
// Copies journal entry `index` to call; 0 on success, -1 when there is none.
SHXSTRM_STANDIN_API int32_t ShxStandin_GetCall(int32_t index, ShxCall* call);
// Switches live mode on with a buffer of bufferBytes per channel that drains
// drainBytesPerSecond, or off with a bufferBytes of 0. Every channel starts empty.
SHXSTRM_STANDIN_API void ShxStandin_Simulate(uint32_t bufferBytes, uint32_t drainBytesPerSecond);

}
