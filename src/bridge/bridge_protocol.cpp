#include "bridge/bridge_protocol.h"

namespace bridge {

const char* RequestName(int32_t request)
{
    static const char* const names[kSlotCount] = {
        "Play_Init()",         "Play_Uninit()",       "Play_SetOverlayMode()", "Play_GetPreviewMode()",
        "Play_SetOpenMode()",  "Play_OpenStream()",   "Play_InputData()",      "Play_CloseStream()",
        "Play_PlayState()",    "Play_GetPlayState()", "Play_SetVolume()",      "Play_GetVolume()",
        "Play_GetPicture()",   "Play_RefreshPlay()",  "Play_GetHeadLen()",     "Play_GetPictureSize()",
        "Play_Reserved16()",   "Play_GetPicQuality()", "Play_Reserved18()",    "Play_GetThrowNum()",
        "Play_Reserved20()",   "Play_SetVideoPara()", "Play_Reserved22()",     "Play_SetDispRegion()",
        "Play_Reserved24()",   "Play_Reserved25()"};
    if (request >= 0 && request < kSlotCount) return names[request];
    return request == kEndedBetweenCalls ? "between calls" : request == kEndedAtStart ? "its start" : "the replay";
}

}  // namespace bridge
