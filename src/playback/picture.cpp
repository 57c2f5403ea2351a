// Picture capture, refresh and picture size: served to any port with a channel,
// whether or not its stream is started.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"
#include "vendor/shx_strm.h"

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPicture(int32_t port, uintptr_t picture)
try {
    static constexpr Operation kOperation{texts::kGetPicture, "Play_GetPicture", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (const int32_t status = SHX_PlayStrm_CapImageBmp(channel, picture))
        return TranslateShxResult(kReportingSource, __LINE__, status, "SHX_PlayStrm_CapImageBmp()");
    return PLAY_OK;
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_RefreshPlay(int32_t port)
try {
    static constexpr Operation kOperation{texts::kRefreshPlay, "Play_RefreshPlay", 1};
    int32_t channel = 0;
    return BeginOnChannel(kOperation, port, channel);
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPictureSize(int32_t port, int32_t* width, int32_t* height)
try {
    static constexpr Operation kOperation{texts::kGetPictureSize, "Play_GetPictureSize", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (width == nullptr || height == nullptr) return RejectArgument(__LINE__);
    *width = OPEN_WIDTH;
    *height = OPEN_HEIGHT;
    return PLAY_OK;
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}
