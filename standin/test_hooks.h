#pragma once

// Switches of the stand-in, read from its environment, for tests of a host
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
//
// SHXSTRM_WINDOW_MESSAGE=MESSAGE (Windows only; a number from 1 to 0xFFFF,
// decimal or 0x hexadecimal) makes every SHX_PlayStrm_InputData send MESSAGE
// with SendMessage to the window last set for its channel
// (SHX_PlayStrm_SetWnd), wParam the channel and lParam the count of inputs
// in the process, before it answers: a vendor library that talks to the
// host's window in the middle of a call, as the host's window procedure may
// call the player back.

#include "shxstrm_standin.h"

// Crashes or hangs when the environment asks for it at this call.
void InjectFault(ShxFunction function);

// Appends the call to the journal file, when one is named.
void WriteJournalLine(const ShxCall& call);

// The window the channel's pictures go to, for the input messages.
void NoteWindow(int32_t channel, void* window);
// Sends the input message to the channel's window, when the environment asks for it.
void SendInputMessage(int32_t channel);
