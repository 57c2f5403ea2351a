// Play state of a started port, including the single-step mode that gates input.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

int32_t PELSHX_STDCALL ShxPlayer::Play_PlayState(int32_t port, int32_t type)
try {
    static constexpr Operation kOperation{texts::kPlayState, "Play_PlayState", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    PortRecord& record = ports[port];
    if (record.playState == 0) return Refuse(__LINE__, texts::kCannotChangeUnstarted, PLAY_ERR_NOT_OPEN);
    if (type == STEP_STATE) {
        // Entering step mode grants nothing; each further step command grants
        // exactly one input call, and grants do not add up.
        record.stepAllowed = record.playState == STEP_STATE ? 1 : 0;
        record.playState = STEP_STATE;
    } else if (type >= 1 && type < STEP_STATE) {
        record.playState = type;
    }
    return PLAY_OK;
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPlayState(int32_t port, int32_t* state)
{
    static constexpr Operation kOperation{texts::kGetPlayState, "Play_GetPlayState", 1};
    return ReportPortValues(kOperation, port, state, [](const PortRecord& record, int32_t* out) {
        *out = record.playState;
    });
}
