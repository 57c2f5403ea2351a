// Giving a port its vendor channel when the host sets its open mode.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

int32_t ShxPlayer::SetOpenMode(int32_t port)
{
    static constexpr Operation kOperation{texts::kSetOpenMode, "Play_SetOpenMode", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (bindings.ChannelOf(port) != ChannelBindings::kUnbound) return PLAY_OK;
    if (bindings.SetPlayPort(port)) return PLAY_OK;
    return TranslateShxResult(__LINE__, 0, kOperation.name);
}
