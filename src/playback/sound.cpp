// Switching a channel's sound. The level is kept for the whole player; the
// vendor library only hears on or off.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

int32_t ShxPlayer::SetVolume(int32_t port, int32_t level)
{
    static constexpr Operation kOperation{texts::kSetVolume, "Play_SetVolume", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (level < 0 || level > 100) return RejectArgument(__LINE__);
    if (const int32_t status = SHX_PlayStrm_EnableSound(channel, level == 0 ? 0 : 1))
        return ReportVendorFailure(__LINE__, status, SHX_ENABLE_SOUND);
    volume = level;
    return PLAY_OK;
}

int32_t ShxPlayer::GetVolume(int32_t port, int32_t* level)
{
    static constexpr Operation kOperation{texts::kGetVolume, "Play_GetVolume", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (level == nullptr) return RejectArgument(__LINE__);
    *level = volume;
    return PLAY_OK;
}
