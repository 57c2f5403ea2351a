// The calls a host makes for every packet allocate nothing at debug level 0:
// input on an open port (also when step mode holds it back) and the play state
// calls that succeed without a record. Natively the program's own operator new
// counts, on Windows the shipped DLL's own imports of the C runtime's
// allocation functions.

#include "support/allocation_faults.h"
#include "support/player_fixture.h"

using allocation_faults::inProcess;

namespace {

constexpr int32_t kPort = 9;

using HotPathAllocationTest = PlayerTest;

TEST_F(HotPathAllocationTest, LevelZeroInputAndPlayStateAllocateNothing)
{
    InitWithDebugLevel(0);
    StartPort(kPort);
    for (int round = 0; round < 4; ++round) {
        // The stand-in's journal has room for one round's vendor calls.
        ShxStandin_Reset();
        int unexpectedResults = 0;
        int32_t state = 0;
        const int32_t before = inProcess.allocations;
        for (int cycle = 0; cycle < 500; ++cycle) {
            for (int input = 0; input < 4; ++input) unexpectedResults += Input(kPort) != PLAY_OK;
            unexpectedResults += player->Play_PlayState(kPort, 2) != PLAY_OK;
            unexpectedResults += player->Play_PlayState(kPort, 9) != PLAY_OK;
            unexpectedResults += Input(kPort) != PLAY_ERR_BUFFER;  // held back until a step
            unexpectedResults += player->Play_PlayState(kPort, 9) != PLAY_OK;
            unexpectedResults += Input(kPort) != PLAY_OK;
            unexpectedResults += player->Play_PlayState(kPort, 1) != PLAY_OK;
            unexpectedResults += player->Play_GetPlayState(kPort, &state) != PLAY_OK || state != 1;
        }
        const int32_t allocated = inProcess.allocations - before;
        EXPECT_EQ(0, unexpectedResults) << "round " << round;
        EXPECT_EQ(0, allocated) << "round " << round;
    }
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(Entries().empty());
}

}  // namespace
