// Play state of a started port, including the single-step mode that gates input.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

int32_t ShxPlayer::PlayState(int32_t port, int32_t type)
{
    static constexpr Operation kOperation{texts::kPlayState, "Play_PlayState", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    PortStream& stream = ports[port];
    if (!stream.Started()) return Refuse(__LINE__, texts::kCannotChangeUnstarted, PLAY_ERR_NOT_OPEN);
    stream.SetPlayState(type);
    return PLAY_OK;
}

int32_t ShxPlayer::GetPlayState(int32_t port, int32_t* state)
{
    static constexpr Operation kOperation{texts::kGetPlayState, "Play_GetPlayState", 1};
    return ReportPortValues(kOperation, port, state,
                            [](const PortStream& stream, int32_t* out) { *out = stream.PlayStateCode(); });
}
