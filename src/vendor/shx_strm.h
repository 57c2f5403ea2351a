#pragma once

// The functions of the vendor's stream-playback library SHXStrm.dll that the
// plug-in uses. Every function returns a status: 0 for success, else a failure
// (-1 illegal input, -2 buffer overflow, -2001 more streams than supported).
// A channel is a vendor channel number, 0 to PLAY_MAX_CHANNELS - 1.

#include "PelShx_PlaySDK.h"  // the calling convention

#include <cstdint>

// The one list of the functions: FUNCTION(id, name, parameters). Everything
// that names them (the declarations, the stand-in, the import library's
// module-definition file, the host program's checks and the tests) is made
// from it. On 32-bit Windows every parameter takes 4 bytes of the stack.
//   SHX_PlayStrm_InputData: dataKind is 1 for the data kind 'A', else 0;
//     status 0 means the data was taken.
//   SHX_PlayStrm_CapImageBmp: picture is the host's capture argument, handed
//     over untouched.
#define SHX_STRM_FUNCTIONS(FUNCTION)                                                                          \
    FUNCTION(SHX_INIT, SHX_PlayStrm_Init, (void))                                                             \
    FUNCTION(SHX_UNINIT, SHX_PlayStrm_Uninit, (void))                                                         \
    FUNCTION(SHX_OPEN_STREAM, SHX_PlayStrm_OpenStream,                                                        \
             (int32_t channel, int32_t width, int32_t height, int32_t reserved1, int32_t reserved2))         \
    FUNCTION(SHX_SET_WND, SHX_PlayStrm_SetWnd, (int32_t channel, void* window, int32_t reserved))             \
    FUNCTION(SHX_START, SHX_PlayStrm_Start, (int32_t channel))                                                \
    FUNCTION(SHX_INPUT_DATA, SHX_PlayStrm_InputData,                                                          \
             (int32_t channel, const uint8_t* buffer, uint32_t size, int32_t dataKind, int32_t reserved,      \
              int32_t mark1, int32_t mark2))                                                                  \
    FUNCTION(SHX_STOP, SHX_PlayStrm_Stop, (int32_t channel))                                                  \
    FUNCTION(SHX_ENABLE_SOUND, SHX_PlayStrm_EnableSound, (int32_t channel, int32_t enable))                   \
    FUNCTION(SHX_CAP_IMAGE_BMP, SHX_PlayStrm_CapImageBmp, (int32_t channel, uintptr_t picture))

extern "C" {
#define SHX_DECLARE_FUNCTION(id, name, parameters) int32_t PELSHX_STDCALL name parameters;
SHX_STRM_FUNCTIONS(SHX_DECLARE_FUNCTION)
#undef SHX_DECLARE_FUNCTION
}

// The functions in the order of the list.
enum ShxFunction : int32_t {
#define SHX_FUNCTION_ID(id, name, parameters) id,
    SHX_STRM_FUNCTIONS(SHX_FUNCTION_ID)
#undef SHX_FUNCTION_ID
    SHX_FUNCTION_COUNT
};

// Their names, such as "SHX_PlayStrm_Init", by ShxFunction.
inline constexpr const char* kShxFunctionNames[SHX_FUNCTION_COUNT] = {
#define SHX_FUNCTION_NAME(id, name, parameters) #name,
    SHX_STRM_FUNCTIONS(SHX_FUNCTION_NAME)
#undef SHX_FUNCTION_NAME
};
