#include "live_channels.h"
#include "shxstrm_standin.h"
#include "support/temporary_root.h"
#include "vendor/shx_strm.h"
#include "window_drawing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> Block(uint32_t size, uint8_t value = 7)
{
    return std::vector<uint8_t>(size, value);
}

int32_t Feed(LiveChannels& live, int32_t channel, const std::vector<uint8_t>& block)
{
    return live.Input(channel, block.data(), static_cast<uint32_t>(block.size()));
}

std::vector<uint8_t> ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t LittleEndian(const std::vector<uint8_t>& bytes, std::size_t offset, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes.at(offset + static_cast<std::size_t>(i));
    return value;
}

// Blue, green and red of a pixel counted from the bottom-left corner.
std::vector<uint8_t> PixelFromBottom(const std::vector<uint8_t>& bmp, int x, int row)
{
    const std::size_t at = 54 + (static_cast<std::size_t>(row) * TEST_CARD_WIDTH + x) * 3;
    return {bmp.at(at), bmp.at(at + 1), bmp.at(at + 2)};
}

class LiveBuffer : public ::testing::Test {
protected:
    void SetUp() override
    {
        live.Configure(1000, 100);
        live.Open(2);
    }
    LiveChannels live;
};

TEST_F(LiveBuffer, TakesDataWhileItFitsAndRefusesWithMinus2WhenFull)
{
    EXPECT_EQ(0, Feed(live, 2, Block(600)));
    EXPECT_EQ(-2, Feed(live, 2, Block(600)));
    EXPECT_EQ(0, Feed(live, 2, Block(390)));
    EXPECT_EQ(-2, Feed(live, 2, Block(50)));
}

TEST_F(LiveBuffer, DrainsAtItsRateSoRefusedDataFitsLater)
{
    ASSERT_EQ(0, Feed(live, 2, Block(1000)));
    ASSERT_EQ(-2, Feed(live, 2, Block(20)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // 100 bytes a second: 30 bytes drain
    EXPECT_EQ(0, Feed(live, 2, Block(20)));
}

TEST_F(LiveBuffer, EmptyBufferTakesABlockLargerThanItself)
{
    EXPECT_EQ(0, Feed(live, 2, Block(5000)));
    EXPECT_EQ(-2, Feed(live, 2, Block(1)));
}

TEST_F(LiveBuffer, StoppingOrOpeningAgainEmptiesIt)
{
    ASSERT_EQ(0, Feed(live, 2, Block(1000)));
    live.Stop(2);
    EXPECT_EQ(0, Feed(live, 2, Block(1000)));
    live.Open(2);
    EXPECT_EQ(0, Feed(live, 2, Block(1000)));
}

TEST_F(LiveBuffer, EachChannelHasItsOwnBuffer)
{
    ASSERT_EQ(0, Feed(live, 2, Block(1000)));
    live.Open(3);
    EXPECT_EQ(0, Feed(live, 3, Block(1000)));
}

TEST_F(LiveBuffer, RefusesChannelsOutOfRangeAndNullData)
{
    EXPECT_EQ(-1, Feed(live, -1, Block(10)));
    EXPECT_EQ(-1, Feed(live, 32, Block(10)));
    EXPECT_EQ(-1, live.Input(2, nullptr, 10));
}

TEST(LiveSetting, ReadsBufferBytesAndDrainRate)
{
    uint32_t buffer = 0;
    uint32_t drain = 0;
    ASSERT_TRUE(ParseLiveSetting("16384,131072", buffer, drain));
    EXPECT_EQ(16384u, buffer);
    EXPECT_EQ(131072u, drain);
}

TEST(LiveSetting, RejectsOtherTextAndKeepsTheValues)
{
    for (const char* text : {"", "16384", "16384,", ",5", "1,2x", "a,b", "4294967296,1", "0,0", "0,5", "5,0"}) {
        uint32_t buffer = 11;
        uint32_t drain = 12;
        EXPECT_FALSE(ParseLiveSetting(text, buffer, drain)) << text;
        EXPECT_EQ(11u, buffer) << text;
        EXPECT_EQ(12u, drain) << text;
    }
    uint32_t buffer = 0;
    uint32_t drain = 0;
    EXPECT_FALSE(ParseLiveSetting(nullptr, buffer, drain));
}

TEST(TestCardPicture, IsA352By288TwentyFourBitBottomUpBmp)
{
    const std::vector<uint8_t> bmp = TestCardBmp({});
    ASSERT_EQ(54u + 352u * 288u * 3u, bmp.size());
    EXPECT_EQ('B', bmp[0]);
    EXPECT_EQ('M', bmp[1]);
    EXPECT_EQ(bmp.size(), LittleEndian(bmp, 2, 4));
    EXPECT_EQ(54u, LittleEndian(bmp, 10, 4));
    EXPECT_EQ(40u, LittleEndian(bmp, 14, 4));
    EXPECT_EQ(352u, LittleEndian(bmp, 18, 4));
    EXPECT_EQ(288u, LittleEndian(bmp, 22, 4));
    EXPECT_EQ(24u, LittleEndian(bmp, 28, 2));
    EXPECT_EQ(0u, LittleEndian(bmp, 30, 4));
}

TEST(TestCardPicture, ShowsTheFiguresItCarries)
{
    TestCardFacts facts;
    const std::vector<uint8_t> before = TestCardBmp(facts);
    EXPECT_EQ(before, TestCardBmp(facts));
    facts.frames = 1;
    EXPECT_NE(before, TestCardBmp(facts));
    facts.frames = 0;
    facts.channel = 5;
    EXPECT_NE(before, TestCardBmp(facts));
    facts.channel = 0;
    facts.processId = 1;
    EXPECT_NE(before, TestCardBmp(facts));
}

TEST(TestCardPicture, BottomBandIsDrawnFromTheLastData)
{
    TestCardFacts facts;
    facts.lastData = Block(10, 200);
    facts.lastData[0] = 30;
    const std::vector<uint8_t> bmp = TestCardBmp(facts);
    EXPECT_EQ(std::vector<uint8_t>({30, 30, 30}), PixelFromBottom(bmp, 0, 0));
    EXPECT_EQ(std::vector<uint8_t>({200, 200, 200}), PixelFromBottom(bmp, 351, 0));
}

TEST(LiveCapture, WritesTheChannelsTestCardToThePathGiven)
{
    LiveChannels live;
    live.Configure(1000, 100);
    live.Open(3);
    ASSERT_EQ(0, Feed(live, 3, Block(120, 9)));
    ASSERT_EQ(0, Feed(live, 3, Block(80, 250)));

    const std::string file = test_files::TemporaryRootPath() + "live_capture.bmp";
    const char* path = file.c_str();
    ASSERT_EQ(0, live.Capture(3, reinterpret_cast<uintptr_t>(path)));

    TestCardFacts expected;
    expected.processId = ThisProcess().id;
    expected.processName = ThisProcess().name;
    expected.channel = 3;
    expected.frames = 2;
    expected.bytes = 200;
    expected.lastData = Block(80, 250);
    EXPECT_EQ(TestCardBmp(expected), ReadFile(path));
}

TEST(LiveCapture, RefusesANullPictureAndReportsAFileItCannotWrite)
{
    LiveChannels live;
    live.Configure(1000, 100);
    EXPECT_EQ(-1, live.Capture(0, 0));
    EXPECT_EQ(-1, live.Capture(40, reinterpret_cast<uintptr_t>("x.bmp")));
    EXPECT_EQ(-3, live.Capture(0, reinterpret_cast<uintptr_t>("no-such-directory/x.bmp")));
}

// The switch and the precedence rules, through the library's exports.
class StandinLiveMode : public ::testing::Test {
protected:
    void TearDown() override
    {
        ShxStandin_Simulate(0, 0);
        ShxStandin_Reset();
    }

    static int32_t Input(int32_t channel, const std::vector<uint8_t>& block)
    {
        return SHX_PlayStrm_InputData(channel, block.data(), static_cast<uint32_t>(block.size()), 0, 0, -1, -1);
    }
};

TEST_F(StandinLiveMode, WhenOffTakesEverythingAndNeverTouchesThePictureArgument)
{
    ShxStandin_Simulate(0, 0);
    ASSERT_EQ(0, SHX_PlayStrm_OpenStream(1, 352, 288, 0, 0));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, Input(1, Block(100000)));
    // Scripted tests hand the capture any value; it must not be read as an address.
    EXPECT_EQ(0, SHX_PlayStrm_CapImageBmp(1, 0x10));
}

TEST_F(StandinLiveMode, SimulateSwitchesRefusalsOnAndTheJournalRecordsThem)
{
    ShxStandin_Simulate(1000, 1);
    ASSERT_EQ(0, SHX_PlayStrm_OpenStream(1, 352, 288, 0, 0));
    EXPECT_EQ(0, Input(1, Block(800)));
    EXPECT_EQ(-2, Input(1, Block(800)));

    ShxCall call{};
    ASSERT_EQ(0, ShxStandin_GetCall(ShxStandin_CallCount() - 1, &call));
    EXPECT_EQ(SHX_INPUT_DATA, call.function);
    EXPECT_EQ(-2, call.status);
    EXPECT_EQ(800, call.args[2]);
}

TEST_F(StandinLiveMode, ScriptedStatusWinsAndItsDataIsNotTaken)
{
    ShxStandin_Simulate(1000, 1);
    ASSERT_EQ(0, SHX_PlayStrm_OpenStream(1, 352, 288, 0, 0));
    ShxStandin_Script(SHX_INPUT_DATA, -2001, 1);
    EXPECT_EQ(-2001, Input(1, Block(1000)));
    EXPECT_EQ(0, Input(1, Block(1000)));
    EXPECT_EQ(-2, Input(1, Block(1)));
}

TEST_F(StandinLiveMode, ResetPutsLiveModeBackAsTheEnvironmentSetsIt)
{
    if (std::getenv("SHXSTRM_SIMULATE") != nullptr) GTEST_SKIP() << "SHXSTRM_SIMULATE is set";
    ShxStandin_Simulate(1000, 1);
    ShxStandin_Reset();
    ASSERT_EQ(0, SHX_PlayStrm_OpenStream(1, 352, 288, 0, 0));
    EXPECT_EQ(0, Input(1, Block(1000)));
    EXPECT_EQ(0, Input(1, Block(1000)));
}

}  // namespace
