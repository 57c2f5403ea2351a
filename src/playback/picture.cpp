// Picture capture, refresh and picture size: served to any port with a channel,
// whether or not its stream is started.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

int32_t ShxPlayer::GetPicture(int32_t port, uintptr_t picture)
{
    static constexpr Operation kOperation{texts::kGetPicture, "Play_GetPicture", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (const int32_t status = SHX_PlayStrm_CapImageBmp(channel, picture))
        return ReportVendorFailure(__LINE__, status, SHX_CAP_IMAGE_BMP);
    return PLAY_OK;
}

int32_t ShxPlayer::RefreshPlay(int32_t port)
{
    static constexpr Operation kOperation{texts::kRefreshPlay, "Play_RefreshPlay", 1};
    int32_t channel = 0;
    return BeginOnChannel(kOperation, port, channel);
}

int32_t ShxPlayer::GetPictureSize(int32_t port, int32_t* width, int32_t* height)
{
    static constexpr Operation kOperation{texts::kGetPictureSize, "Play_GetPictureSize", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (width == nullptr || height == nullptr) return RejectArgument(__LINE__);
    *width = PLAY_PICTURE_WIDTH;
    *height = PLAY_PICTURE_HEIGHT;
    return PLAY_OK;
}
