// Handing received stream data to the vendor library.

#include "platform/platform.h"
#include "plugin/shx_player.h"
#include "trace/log_texts.h"

int32_t ShxPlayer::InputData(int32_t port, const uint8_t* buffer, uint32_t size, int32_t dataType)
{
    // Input is the hot path: its entry record needs a higher debug level.
    static constexpr Operation kOperation{texts::kInputData, "Play_InputData", 2};
    int32_t channel = 0;
    if (const int32_t result = BeginOnChannel(kOperation, port, channel)) return result;
    if (buffer == nullptr) return RejectArgument(__LINE__);
    if (size == 0) return RejectArgument(__LINE__);
    PortStream& stream = ports[port];
    if (!stream.Started()) return Refuse(__LINE__, texts::kInputToUnopened, PLAY_ERR_NOT_OPEN);
    const PortStream::Admission admission = stream.AdmitInput();
    if (admission == PortStream::Admission::HeldBack) return PLAY_ERR_BUFFER;
    if (admission == PortStream::Admission::RebindWindowFirst) SHX_PlayStrm_SetWnd(channel, stream.Window(), 0);
    const int32_t dataKind = (dataType & 0xFF) == 'A' ? 1 : 0;
    // Live playback drops data the vendor library keeps refusing rather than
    // stall the host's receiving thread: the host is told it was taken, and
    // the drop shows in the port's dropped-frame count.
    if (!HandOver(channel, buffer, size, dataKind)) stream.CountDrop();
    return PLAY_OK;
}

bool ShxPlayer::HandOver(int32_t channel, const uint8_t* buffer, uint32_t size, int32_t dataKind) noexcept
{
    for (int32_t attempt = 1; attempt <= INPUT_RETRY_LIMIT; ++attempt) {
        const int32_t status = SHX_PlayStrm_InputData(channel, buffer, size, dataKind, 0, -1, -1);
        if (status == 0) return true;
        if (debugLevel >= 2) ReportVendorFailure(__LINE__, status, SHX_INPUT_DATA);
        platform::PauseMilliseconds(INPUT_RETRY_DELAY_MS);
    }
    return false;
}
