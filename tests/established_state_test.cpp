// What the bridge replays for a new helper, from the answers the host got.

#include "PelShx_PlaySDK.h"
#include "bridge/bridge_protocol.h"
#include "bridge/established_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace bridge;

// A replay step as "request(arg, ...)", the open buffer's size after a '/'.
std::vector<std::string> Steps(const EstablishedState& state)
{
    std::vector<std::string> steps;
    for (const ReplayStep& step : state.Replay()) {
        std::string text = step.request == kWriteRestartRecord ? "record" : RequestName(step.request);
        text = text.substr(0, text.find('(')) + "(";
        for (int i = 0; i < 5; ++i) text += (i ? "," : "") + std::to_string(step.args[i]);
        if (step.data != nullptr) text += "/" + std::to_string(step.data->size());
        steps.push_back(text + ")");
    }
    return steps;
}

void Note(EstablishedState& state, int32_t slot, std::vector<int32_t> args, int32_t result = PLAY_OK,
          const uint8_t* data = nullptr)
{
    args.resize(kMaxArgs);
    state.Note(slot, args.data(), result, data);
}

const uint8_t kOpenBuffer[3] = {1, 2, 3};

TEST(EstablishedState, ReplayGivesEveryPortItsChannelSettingsStreamAndState)
{
    EstablishedState state;
    Note(state, kInit, {7});
    Note(state, kSetOpenMode, {9, 4});
    Note(state, kSetOpenMode, {3, 1});
    Note(state, kSetOpenMode, {9, 5});             // already bound: no second entry
    Note(state, kSetOpenMode, {50, 0}, PLAY_ERR_PARAM);
    Note(state, kSetOverlayMode, {3, 0x111111});
    Note(state, kSetOverlayMode, {9, 0x222222});   // the colour key is one for all ports
    Note(state, kSetVolume, {9, 30});
    Note(state, kSetVolume, {3, 60});
    Note(state, kSetVolume, {9, 0});                // the latest level is replayed last
    Note(state, kOpenStream, {0x1234, 3, 0, 3, 8}, PLAY_OK, kOpenBuffer);
    Note(state, kPlayState, {3, 9});
    Note(state, kPlayState, {3, 9});                // a step granted
    Note(state, kOpenStream, {0x99, 9, 0, 3, 0}, PLAY_ERR_UNKNOWN, kOpenBuffer);
    EXPECT_EQ((std::vector<std::string>{"Play_Init(7,0,0,0,0)", "record(1,0,0,0,0)", "Play_SetOpenMode(9,4,0,0,0)",
                                        "Play_SetOpenMode(3,1,0,0,0)", "Play_SetOverlayMode(3,2236962,0,0,0)",
                                        "Play_SetOverlayMode(9,2236962,0,0,0)", "Play_OpenStream(4660,3,0,3,8/3)",
                                        "Play_PlayState(3,9,0,0,0)", "Play_PlayState(3,9,0,0,0)",
                                        "Play_SetVolume(3,60,0,0,0)", "Play_SetVolume(9,0,0,0,0)"}),
              Steps(state));

    // The step is used up by an input; after an uninitialisation the replay ends with one.
    Note(state, kInputData, {3, 0, 16, 0});
    Note(state, kUninit, {});
    const std::vector<std::string> steps = Steps(state);
    EXPECT_EQ("Play_PlayState(3,9,0,0,0)", steps[7]);
    EXPECT_EQ("Play_SetVolume(3,60,0,0,0)", steps[8]);
    EXPECT_EQ("Play_Uninit(0,0,0,0,0)", steps.back());
}

TEST(EstablishedState, ClosedPortsAndFailedReopensAreNotStartedAgain)
{
    EstablishedState state;
    Note(state, kSetOpenMode, {1, 0});
    Note(state, kSetOpenMode, {2, 0});
    Note(state, kOpenStream, {0, 1, 0, 3, 0}, PLAY_OK, kOpenBuffer);
    Note(state, kOpenStream, {0, 2, 0, 3, 0}, PLAY_OK, kOpenBuffer);
    Note(state, kCloseStream, {1});
    // A re-open that failed may have closed the port first: it is taken as closed.
    Note(state, kOpenStream, {0, 2, 0, 3, 0}, PLAY_ERR_BUFFER, kOpenBuffer);
    Note(state, kInit, {0}, -1);  // the system drive was not found: nothing happened
    EXPECT_EQ((std::vector<std::string>{"record(0,0,0,0,0)", "Play_SetOpenMode(1,0,0,0,0)",
                                        "Play_SetOpenMode(2,0,0,0,0)"}),
              Steps(state));
}

TEST(CrashHistory, ThreeEndsWithinAMinuteStop)
{
    CrashHistory spread;
    EXPECT_FALSE(spread.NoteEnd(0));
    EXPECT_FALSE(spread.NoteEnd(30000));
    EXPECT_FALSE(spread.NoteEnd(60001));
    EXPECT_TRUE(spread.NoteEnd(65000));  // 30 s, 60 s and 65 s
    CrashHistory close;
    EXPECT_FALSE(close.NoteEnd(1000));
    EXPECT_FALSE(close.NoteEnd(2000));
    EXPECT_TRUE(close.NoteEnd(61000));
}

}  // namespace
