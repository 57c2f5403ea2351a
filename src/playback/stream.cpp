// Opening and closing a port's stream.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"
#include "vendor/shx_strm.h"

int32_t PELSHX_STDCALL ShxPlayer::Play_OpenStream(void* window, int32_t port, const void* openBuffer,
                                                  uint32_t openBufferSize, int32_t /*reserved*/)
try {
    static constexpr Operation kOperation{texts::kOpenStream, "Play_OpenStream", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (openBuffer == nullptr) return RejectArgument(__LINE__);
    if (openBufferSize == 0) return RejectArgument(__LINE__);
    PortRecord& record = ports[port];
    if (record.playState != 0)
        if (const int32_t result = StopForReopen(port)) return result;

    // No step undoes an earlier one: a stream left opened by a failed step is
    // opened again by the next attempt.
    if (const int32_t status = SHX_PlayStrm_OpenStream(channel, OPEN_WIDTH, OPEN_HEIGHT, 0, 0))
        return TranslateShxResult(kReportingSource, __LINE__, status, "SHX_PlayStrm_OpenStream()");
    if (const int32_t status = SHX_PlayStrm_SetWnd(channel, window, 0))
        return TranslateShxResult(kReportingSource, __LINE__, status, "SHX_PlayStrm_SetWnd()");
    if (const int32_t status = SHX_PlayStrm_Start(channel))
        return TranslateShxResult(kReportingSource, __LINE__, status, "SHX_PlayStrm_Start()");
    record.window = window;
    record.inputCounter = 0;
    record.throwNum = 0;
    record.playState = 1;
    return PLAY_OK;
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}

// A playing port is closed through the interface, as the host would close it,
// so the close writes its own records.
int32_t ShxPlayer::StopForReopen(int32_t port)
{
    ReportError(__LINE__, texts::kMustStopFirst);
    IPlayer& self = *this;
    if (const int32_t closed = self.Play_CloseStream(port)) {
        ReportError(__LINE__, "Play_CloseStream() error", closed);
        return closed;
    }
    // The port keeps its binding; this fails only when every channel is bound.
    if (!bindings.SetPlayPort(port)) return TranslateShxResult(kReportingSource, __LINE__, 0, "SetPlayPort()");
    return PLAY_OK;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_CloseStream(int32_t port)
try {
    static constexpr Operation kOperation{texts::kCloseStream, "Play_CloseStream", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    PortRecord& record = ports[port];
    if (record.playState == 0) return Refuse(__LINE__, texts::kCannotStopUnstarted, PLAY_ERR_NOT_OPEN);
    if (const int32_t status = SHX_PlayStrm_Stop(channel))
        return TranslateShxResult(kReportingSource, __LINE__, status, "SHX_PlayStrm_Stop()");
    record.ResetVideoParams();
    record.playState = 0;
    return PLAY_OK;
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}
