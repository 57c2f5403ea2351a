// Opening and closing a port's stream.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

namespace {

constexpr char kCloseStreamName[] = "Play_CloseStream";

}  // namespace

int32_t ShxPlayer::OpenStream(void* window, int32_t port, const void* openBuffer, uint32_t openBufferSize)
{
    static constexpr Operation kOperation{texts::kOpenStream, "Play_OpenStream", 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (openBuffer == nullptr) return RejectArgument(__LINE__);
    if (openBufferSize == 0) return RejectArgument(__LINE__);
    PortStream& stream = ports[port];
    if (stream.Started())
        if (const int32_t result = StopForReopen(port)) return result;

    // No step undoes an earlier one: a stream left opened by a failed step is
    // opened again by the next attempt.
    if (const int32_t status = SHX_PlayStrm_OpenStream(channel, PLAY_PICTURE_WIDTH, PLAY_PICTURE_HEIGHT, 0, 0))
        return ReportVendorFailure(__LINE__, status, SHX_OPEN_STREAM);
    if (const int32_t status = SHX_PlayStrm_SetWnd(channel, window, 0))
        return ReportVendorFailure(__LINE__, status, SHX_SET_WND);
    if (const int32_t status = SHX_PlayStrm_Start(channel)) return ReportVendorFailure(__LINE__, status, SHX_START);
    stream.Open(window);
    return PLAY_OK;
}

// A playing port is closed through the interface, as the host would close it,
// so the close writes its own records.
int32_t ShxPlayer::StopForReopen(int32_t port)
{
    ReportError(__LINE__, {texts::kMustStopFirst});
    IPlayer& self = *this;
    if (const int32_t closed = self.Play_CloseStream(port)) {
        ReportError(__LINE__, {kCloseStreamName, "() error"}, closed);
        return closed;
    }
    // The port keeps its binding; this fails only when every channel is bound.
    if (!bindings.SetPlayPort(port)) return TranslateShxResult(__LINE__, 0, "SetPlayPort");
    return PLAY_OK;
}

int32_t ShxPlayer::CloseStream(int32_t port)
{
    static constexpr Operation kOperation{texts::kCloseStream, kCloseStreamName, 1};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    PortStream& stream = ports[port];
    if (!stream.Started()) return Refuse(__LINE__, texts::kCannotStopUnstarted, PLAY_ERR_NOT_OPEN);
    if (const int32_t status = SHX_PlayStrm_Stop(channel)) return ReportVendorFailure(__LINE__, status, SHX_STOP);
    stream.Close();
    return PLAY_OK;
}
