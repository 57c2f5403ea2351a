// Display settings and figures that the plug-in keeps for the host without
// involving the vendor library, and the reserved slots.

#include "plugin/shx_player.h"
#include "trace/log_texts.h"

#include <algorithm>

namespace {

constexpr uint32_t kLargestColorKey = 0x00FFFFFF;

}  // namespace

int32_t PELSHX_STDCALL ShxPlayer::Play_SetOverlayMode(int32_t port, uint32_t colorKey)
{
    static constexpr Operation kOperation{texts::kSetOverlayMode, "Play_SetOverlayMode", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (colorKey > kLargestColorKey) return RejectArgument(__LINE__);
    ports[port].overlayMode = 1;
    overlayColorKey = colorKey;
    return PLAY_OK;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey)
{
    static constexpr Operation kOperation{texts::kGetPreviewMode, "Play_GetPreviewMode", 1};
    if (const int32_t result = BeginOnPort(kOperation, port)) return result;
    if (overlay == nullptr || colorKey == nullptr) return RejectArgument(__LINE__);
    *overlay = ports[port].overlayMode;
    *colorKey = overlayColorKey;
    return PLAY_OK;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetHeadLen(int32_t* headLen)
{
    static constexpr Operation kOperation{texts::kGetHeadLen, "Play_GetHeadLen", 1};
    WriteEntryRecord(kOperation);
    if (headLen == nullptr) return RejectArgument(__LINE__);
    *headLen = 0;
    return PLAY_OK;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetPicQuality(int32_t port, int32_t* quality)
{
    static constexpr Operation kOperation{texts::kGetPicQuality, "Play_GetPicQuality", 1};
    return ReportPortValues(kOperation, port, quality, [](const PortRecord& record, int32_t* out) {
        *out = record.picQuality;
    });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_GetThrowNum(int32_t port, int32_t* count)
{
    static constexpr Operation kOperation{texts::kGetThrowNum, "Play_GetThrowNum", 1};
    return ReportPortValues(kOperation, port, count, [](const PortRecord& record, int32_t* out) {
        *out = record.throwNum;
    });
}

// Despite their names the host reads the port's video parameters and display
// region with these two.
int32_t PELSHX_STDCALL ShxPlayer::Play_SetVideoPara(int32_t port, int32_t* para)
{
    static constexpr Operation kOperation{texts::kSetVideoPara, "Play_SetVideoPara", 1};
    return ReportPortValues(kOperation, port, para, [](const PortRecord& record, int32_t* out) {
        std::copy(std::begin(record.videoParams), std::end(record.videoParams), out);
    });
}

int32_t PELSHX_STDCALL ShxPlayer::Play_SetDispRegion(int32_t port, int32_t* region)
{
    static constexpr Operation kOperation{texts::kSetDispRegion, "Play_SetDispRegion", 1};
    return ReportPortValues(kOperation, port, region, [](const PortRecord& record, int32_t* out) {
        std::copy(std::begin(record.displayRegion), std::end(record.displayRegion), out);
    });
}

// The reserved slots accept their arguments, so the host's stack stays
// balanced, and do nothing.
int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved16(int32_t, int32_t) { return PLAY_OK; }
int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved18(int32_t, int32_t) { return PLAY_OK; }
int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved20(int32_t, int32_t, int32_t) { return PLAY_OK; }
int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved22(int32_t, int32_t, int32_t) { return PLAY_OK; }
int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved24(int32_t) { return PLAY_OK; }
int32_t PELSHX_STDCALL ShxPlayer::Play_Reserved25(int32_t, int32_t) { return PLAY_OK; }
