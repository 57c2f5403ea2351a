#pragma once

// Two switches of the stand-in, read from its environment, for tests of a host
// that runs it in another process (the 64-bit bridge's helper):
//
// SHXSTRM_FAULT=ACTION,FUNCTION,CALL makes the CALL-th call (counted from 1
// in this process) of FUNCTION (such as SHX_PlayStrm_InputData) crash with an
// access violation (ACTION crash) or never return (ACTION hang).
//
// SHXSTRM_JOURNAL=FILE appends every call to FILE as a line, for a person to
// read: "    +12.3 ms  SHX_PlayStrm_InputData(0, data:1c9d44a5, 4096, 1, 0,
// -1, -1) -> 0", its time since the first call in the process, then the call
// with what its pointers point at instead of their addresses: the window as
// its 32-bit value, input data as a checksum of its bytes, a capture path as
// its text (it is read). Every process appends (a helper and the one that
// replaces it), and, the times aside, runs in different processes compare
// line by line.

#include "shxstrm_standin.h"

// Crashes or hangs when the environment asks for it at this call.
void InjectFault(ShxFunction function);

// Appends the call to the journal file, when one is named.
void WriteJournalLine(const ShxCall& call);
