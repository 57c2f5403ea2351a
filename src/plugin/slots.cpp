// The interface table's 26 slots. Each one runs its operation through the same
// guard, Enter: whatever the operation or anything below it throws (in
// practice only an allocation failure) is answered with PLAY_ERR_UNKNOWN, so no
// exception ever crosses into the host.

#include "plugin/shx_player.h"

namespace {

template <typename Operation>
int32_t Enter(Operation operation) noexcept
{
    try {
        return operation();
    } catch (...) {
        return PLAY_ERR_UNKNOWN;
    }
}

// The reserved slots accept their arguments, so that the host's stack stays
// balanced, and do nothing.
int32_t Reserved()
{
    return PLAY_OK;
}

}  // namespace

int32_t PELSHX_STDCALL ShxPlayer::Play_Init(int32_t /*value*/)
{
    return Enter([&] { return Init(); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Uninit()
{
    return Enter([&] { return Uninit(); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetOverlayMode(int32_t port, uint32_t colorKey)
{
    return Enter([&] { return SetOverlayMode(port, colorKey); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey)
{
    return Enter([&] { return GetPreviewMode(port, overlay, colorKey); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetOpenMode(int32_t port, int32_t /*openMode*/)
{
    return Enter([&] { return SetOpenMode(port); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_OpenStream(void* window, int32_t port, const void* openBuffer,
                                                  uint32_t openBufferSize, int32_t /*reserved*/)
{
    return Enter([&] { return OpenStream(window, port, openBuffer, openBufferSize); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_InputData(int32_t port, const uint8_t* buffer, uint32_t size,
                                                 int32_t dataType)
{
    return Enter([&] { return InputData(port, buffer, size, dataType); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_CloseStream(int32_t port)
{
    return Enter([&] { return CloseStream(port); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_PlayState(int32_t port, int32_t type)
{
    return Enter([&] { return PlayState(port, type); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPlayState(int32_t port, int32_t* state)
{
    return Enter([&] { return GetPlayState(port, state); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetVolume(int32_t port, int32_t level)
{
    return Enter([&] { return SetVolume(port, level); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetVolume(int32_t port, int32_t* level)
{
    return Enter([&] { return GetVolume(port, level); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPicture(int32_t port, uintptr_t picture)
{
    return Enter([&] { return GetPicture(port, picture); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_RefreshPlay(int32_t port)
{
    return Enter([&] { return RefreshPlay(port); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetHeadLen(int32_t* headLen)
{
    return Enter([&] { return GetHeadLen(headLen); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPictureSize(int32_t port, int32_t* width, int32_t* height)
{
    return Enter([&] { return GetPictureSize(port, width, height); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved16(int32_t, int32_t)
{
    return Enter(Reserved);
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPicQuality(int32_t port, int32_t* quality)
{
    return Enter([&] { return GetPicQuality(port, quality); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved18(int32_t, int32_t)
{
    return Enter(Reserved);
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetThrowNum(int32_t port, int32_t* count)
{
    return Enter([&] { return GetThrowNum(port, count); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved20(int32_t, int32_t, int32_t)
{
    return Enter(Reserved);
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetVideoPara(int32_t port, int32_t* para)
{
    return Enter([&] { return SetVideoPara(port, para); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved22(int32_t, int32_t, int32_t)
{
    return Enter(Reserved);
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetDispRegion(int32_t port, int32_t* region)
{
    return Enter([&] { return SetDispRegion(port, region); });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved24(int32_t)
{
    return Enter(Reserved);
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved25(int32_t, int32_t)
{
    return Enter(Reserved);
}
