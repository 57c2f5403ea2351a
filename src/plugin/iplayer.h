#pragma once

// The player interface that a video host drives, and the plug-in's two exports.
//
// The host gets the one player from CreateSinglePlayerDll and calls its
// operations through the interface table: 26 slots in the order declared here,
// each __stdcall with the object pointer first and 32-bit arguments after it.
// Every operation returns one of the PLAY_* result codes.

#include "platform/calling_convention.h"

#include <cstdint>

enum PlayResult : int32_t {
    PLAY_OK = 0,
    PLAY_ERR_PARAM = 2,         // argument out of range, null or zero; port without channel; no channel free
    PLAY_ERR_NOT_OPEN = 3,      // the port's stream is not started
    PLAY_ERR_BUFFER = 12,       // vendor buffer overflow; input refused in step mode
    PLAY_ERR_MAX_STREAMS = 17,  // more streams than the vendor library supports
    PLAY_ERR_UNKNOWN = 26,      // any other failure
};

class IPlayer {
public:
    // Slot 0: reads the configuration, prepares the logs, starts the vendor
    // library. 0, or -1 when the system drive cannot be found.
    virtual int32_t PELSHX_STDCALL Play_Init(int32_t value) = 0;
    virtual int32_t PELSHX_STDCALL Play_Uninit() = 0;
    virtual int32_t PELSHX_STDCALL Play_SetOverlayMode(int32_t port, uint32_t colorKey) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey) = 0;
    virtual int32_t PELSHX_STDCALL Play_SetOpenMode(int32_t port, int32_t openMode) = 0;
    virtual int32_t PELSHX_STDCALL Play_OpenStream(void* window, int32_t port, const void* openBuffer,
                                                   uint32_t openBufferSize, int32_t reserved) = 0;
    virtual int32_t PELSHX_STDCALL Play_InputData(int32_t port, const uint8_t* buffer, uint32_t size,
                                                  int32_t dataType) = 0;
    virtual int32_t PELSHX_STDCALL Play_CloseStream(int32_t port) = 0;
    virtual int32_t PELSHX_STDCALL Play_PlayState(int32_t port, int32_t type) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetPlayState(int32_t port, int32_t* state) = 0;
    virtual int32_t PELSHX_STDCALL Play_SetVolume(int32_t port, int32_t volume) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetVolume(int32_t port, int32_t* volume) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetPicture(int32_t port, uintptr_t picture) = 0;
    virtual int32_t PELSHX_STDCALL Play_RefreshPlay(int32_t port) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetHeadLen(int32_t* headLen) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetPictureSize(int32_t port, int32_t* width, int32_t* height) = 0;
    virtual int32_t PELSHX_STDCALL Play_Reserved16(int32_t, int32_t) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetPicQuality(int32_t port, int32_t* quality) = 0;
    virtual int32_t PELSHX_STDCALL Play_Reserved18(int32_t, int32_t) = 0;
    virtual int32_t PELSHX_STDCALL Play_GetThrowNum(int32_t port, int32_t* count) = 0;
    virtual int32_t PELSHX_STDCALL Play_Reserved20(int32_t, int32_t, int32_t) = 0;
    // Copies the port's six video parameters into para.
    virtual int32_t PELSHX_STDCALL Play_SetVideoPara(int32_t port, int32_t* para) = 0;
    virtual int32_t PELSHX_STDCALL Play_Reserved22(int32_t, int32_t, int32_t) = 0;
    // Copies the port's four display region values into region.
    virtual int32_t PELSHX_STDCALL Play_SetDispRegion(int32_t port, int32_t* region) = 0;
    virtual int32_t PELSHX_STDCALL Play_Reserved24(int32_t) = 0;
    virtual int32_t PELSHX_STDCALL Play_Reserved25(int32_t, int32_t) = 0;

protected:
    // The player is destroyed only through ReleaseSinglePlayerDll.
    ~IPlayer() = default;
};

extern "C" {
// The one player of the process; every call returns the same object until it
// is released. Null when it cannot be built.
IPlayer* CreateSinglePlayerDll(void);
// Destroys the player when given the current one; anything else is ignored.
void PELSHX_STDCALL ReleaseSinglePlayerDll(IPlayer* player);
}
