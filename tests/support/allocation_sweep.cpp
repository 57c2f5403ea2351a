#include "support/allocation_sweep.h"

#include <gtest/gtest.h>

int AllocationSweep::FailEachAllocationOf(const std::function<int32_t()>& call, int32_t usualResult,
                                          const std::function<void()>& checkUnchanged) const
{
    const int64_t openBefore = openFiles();
    for (int failAt = 0;; ++failAt) {
        faults.allocationsBeforeFailure = failAt;
        faults.onlyOneFails = onlyOneFails;
        faults.failuresMet = 0;
        const int32_t result = call();
        const bool failed = faults.failuresMet > 0;
        faults.allocationsBeforeFailure = -1;
        EXPECT_EQ(openBefore, openFiles()) << "files left open with allocation " << failAt << " failing";
        if (!failed) {
            EXPECT_EQ(usualResult, result) << "with no allocation failing";
            return failAt;
        }
        if (result == usualResult) continue;
        EXPECT_EQ(PLAY_ERR_UNKNOWN, result) << "allocation " << failAt << " failing";
        checkUnchanged();
    }
}

std::vector<NamedCall> EverySlot(IPlayer* player, int32_t port, int32_t unboundPort, const uint8_t* data,
                                 uint32_t size)
{
    // Where the out values land; none is looked at.
    static int32_t a = 0, b = 0, block[6] = {};
    static uint32_t key = 0;
    const int32_t p = port;
    return {
        {"Play_Init", [=] { return player->Play_Init(0); }},
        {"Play_Uninit", [=] { return player->Play_Uninit(); }},
        {"Play_SetOverlayMode", [=] { return player->Play_SetOverlayMode(p, 5); }},
        {"Play_GetPreviewMode", [=] { return player->Play_GetPreviewMode(p, &a, &key); }},
        {"Play_SetOpenMode", [=] { return player->Play_SetOpenMode(unboundPort, 0); }},
        {"Play_OpenStream", [=] { return player->Play_OpenStream(nullptr, p, data, size, 0); }},
        {"Play_InputData", [=] { return player->Play_InputData(p, data, size, 0); }},
        {"Play_PlayState", [=] { return player->Play_PlayState(p, 3); }},
        {"Play_GetPlayState", [=] { return player->Play_GetPlayState(p, &a); }},
        {"Play_SetVolume", [=] { return player->Play_SetVolume(p, 30); }},
        {"Play_GetVolume", [=] { return player->Play_GetVolume(p, &a); }},
        {"Play_GetPicture", [=] { return player->Play_GetPicture(p, 0); }},
        {"Play_RefreshPlay", [=] { return player->Play_RefreshPlay(p); }},
        {"Play_GetHeadLen", [=] { return player->Play_GetHeadLen(&a); }},
        {"Play_GetPictureSize", [=] { return player->Play_GetPictureSize(p, &a, &b); }},
        {"Play_Reserved16", [=] { return player->Play_Reserved16(1, 2); }},
        {"Play_GetPicQuality", [=] { return player->Play_GetPicQuality(p, &a); }},
        {"Play_Reserved18", [=] { return player->Play_Reserved18(1, 2); }},
        {"Play_GetThrowNum", [=] { return player->Play_GetThrowNum(p, &a); }},
        {"Play_Reserved20", [=] { return player->Play_Reserved20(1, 2, 3); }},
        {"Play_SetVideoPara", [=] { return player->Play_SetVideoPara(p, block); }},
        {"Play_Reserved22", [=] { return player->Play_Reserved22(1, 2, 3); }},
        {"Play_SetDispRegion", [=] { return player->Play_SetDispRegion(p, block); }},
        {"Play_Reserved24", [=] { return player->Play_Reserved24(1); }},
        {"Play_Reserved25", [=] { return player->Play_Reserved25(1, 2); }},
        {"Play_CloseStream", [=] { return player->Play_CloseStream(p); }},
    };
}

std::vector<int32_t> PlayerState(IPlayer* player, int32_t port, int32_t otherPort)
{
    int32_t state = -1, volume = -1, otherState = -1;
    const int32_t stateResult = player->Play_GetPlayState(port, &state);
    const int32_t volumeResult = player->Play_GetVolume(port, &volume);
    const int32_t otherStateResult = player->Play_GetPlayState(otherPort, &otherState);
    return {stateResult, state, volumeResult, volume, player->Play_RefreshPlay(otherPort), otherStateResult, otherState};
}
