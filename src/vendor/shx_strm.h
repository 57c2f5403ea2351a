#pragma once

// The functions of the vendor's stream-playback library SHXStrm.dll that the
// plug-in uses. Every function returns a status: 0 for success, else a failure
// (-1 illegal input, -2 buffer overflow, -2001 more streams than supported).
// A channel is a vendor channel number, 0 to 31.

#include "PelShx_PlaySDK.h"  // the calling convention

#include <cstdint>

extern "C" {

int32_t PELSHX_STDCALL SHX_PlayStrm_Init(void);
int32_t PELSHX_STDCALL SHX_PlayStrm_Uninit(void);
int32_t PELSHX_STDCALL SHX_PlayStrm_OpenStream(int32_t channel, int32_t width, int32_t height, int32_t reserved1,
                                               int32_t reserved2);
int32_t PELSHX_STDCALL SHX_PlayStrm_SetWnd(int32_t channel, void* window, int32_t reserved);
int32_t PELSHX_STDCALL SHX_PlayStrm_Start(int32_t channel);
// dataKind is 1 for the data kind 'A', else 0. Status 0 means the data was taken.
int32_t PELSHX_STDCALL SHX_PlayStrm_InputData(int32_t channel, const uint8_t* buffer, uint32_t size,
                                              int32_t dataKind, int32_t reserved, int32_t mark1, int32_t mark2);
int32_t PELSHX_STDCALL SHX_PlayStrm_Stop(int32_t channel);
int32_t PELSHX_STDCALL SHX_PlayStrm_EnableSound(int32_t channel, int32_t enable);
// picture is the host's capture argument, handed over untouched.
int32_t PELSHX_STDCALL SHX_PlayStrm_CapImageBmp(int32_t channel, uintptr_t picture);

}
