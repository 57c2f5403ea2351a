#include "bridge/bridge_protocol.h"

#include <cstdio>

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

void DescribeEnd(const ControlBlock& block, int32_t request, uint32_t exitCode, char* text, std::size_t size)
{
    char dump[kDumpNameBytes + 64];
    if (block.dumpName[0] != '\0')
        std::snprintf(dump, sizeof dump, "dump %.*s", static_cast<int>(kDumpNameBytes), block.dumpName);
    else if (block.dumpError != 0)
        std::snprintf(dump, sizeof dump, "no dump: writing it failed with system error %u",
                      static_cast<unsigned>(block.dumpError));
    else
        std::snprintf(dump, sizeof dump, "no dump");
    std::snprintf(text, size, "%s, exit code 0x%08X, %s", RequestName(request), static_cast<unsigned>(exitCode), dump);
}

}  // namespace bridge
