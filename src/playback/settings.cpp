// Display settings and figures that the plug-in keeps for the host without
// involving the vendor library.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

namespace {

constexpr uint32_t kLargestColorKey = 0x00FFFFFF;

}  // namespace

int32_t ShxPlayer::SetOverlayMode(int32_t port, uint32_t colorKey)
{
    static constexpr Operation kOperation{texts::kSetOverlayMode, "Play_SetOverlayMode", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (colorKey > kLargestColorKey) return RejectArgument(__LINE__);
    ports[port].MarkOverlay();
    overlayColorKey = colorKey;
    return PLAY_OK;
}

int32_t ShxPlayer::GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey)
{
    static constexpr Operation kOperation{texts::kGetPreviewMode, "Play_GetPreviewMode", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (overlay == nullptr || colorKey == nullptr) return RejectArgument(__LINE__);
    *overlay = ports[port].OverlayMode();
    *colorKey = overlayColorKey;
    return PLAY_OK;
}

int32_t ShxPlayer::GetHeadLen(int32_t* headLen)
{
    static constexpr Operation kOperation{texts::kGetHeadLen, "Play_GetHeadLen", 1};
    WriteEntryRecord(kOperation);
    if (headLen == nullptr) return RejectArgument(__LINE__);
    *headLen = 0;
    return PLAY_OK;
}

int32_t ShxPlayer::GetPicQuality(int32_t port, int32_t* quality)
{
    static constexpr Operation kOperation{texts::kGetPicQuality, "Play_GetPicQuality", 1};
    return ReportPortValues(kOperation, port, quality,
                            [](const PortStream& stream, int32_t* out) { *out = stream.PictureQuality(); });
}

int32_t ShxPlayer::GetThrowNum(int32_t port, int32_t* count)
{
    static constexpr Operation kOperation{texts::kGetThrowNum, "Play_GetThrowNum", 1};
    return ReportPortValues(kOperation, port, count,
                            [](const PortStream& stream, int32_t* out) { *out = stream.DroppedInputs(); });
}

// Despite their names the host reads the port's video parameters and display
// region with these two.
int32_t ShxPlayer::SetVideoPara(int32_t port, int32_t* para)
{
    static constexpr Operation kOperation{texts::kSetVideoPara, "Play_SetVideoPara", 1};
    return ReportPortValues(kOperation, port, para,
                            [](const PortStream& stream, int32_t* out) { stream.CopyVideoParams(out); });
}

int32_t ShxPlayer::SetDispRegion(int32_t port, int32_t* region)
{
    static constexpr Operation kOperation{texts::kSetDispRegion, "Play_SetDispRegion", 1};
    return ReportPortValues(kOperation, port, region,
                            [](const PortStream& stream, int32_t* out) { stream.CopyDisplayRegion(out); });
}
