#include "plugin/iplayer.h"
#include "shxstrm_standin.h"
#include <gtest/gtest.h>
TEST(Smoke, Create) {
    IPlayer* p = CreateSinglePlayerDll();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(0, p->Play_Init(0));
    EXPECT_EQ(1, ShxStandin_CallCount());
    ReleaseSinglePlayerDll(p);
}
