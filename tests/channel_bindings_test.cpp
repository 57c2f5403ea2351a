// Ports take the lowest free vendor channel in the order they are bound and
// keep it; with every channel taken nothing more is bound.

#include "playback/channel_bindings.h"

#include <gtest/gtest.h>

TEST(ChannelBindingsTest, PortsTakeChannelsInBindingOrderAndKeepThem)
{
    ChannelBindings bindings;
    for (const int32_t port : {0, 127, 40})
        EXPECT_EQ(ChannelBindings::kUnbound, bindings.ChannelOf(port)) << "port " << port;

    const int32_t ports[] = {40, 3, 127, 0};
    for (const int32_t port : ports) ASSERT_TRUE(bindings.SetPlayPort(port));
    ASSERT_TRUE(bindings.SetPlayPort(3)) << "binding again";
    ASSERT_TRUE(bindings.SetPlayPort(5));

    const struct {
        int32_t port;
        int32_t channel;
    } expected[] = {{40, 0}, {3, 1}, {127, 2}, {0, 3}, {5, 4}, {6, ChannelBindings::kUnbound}};
    for (const auto& binding : expected)
        EXPECT_EQ(binding.channel, bindings.ChannelOf(binding.port)) << "port " << binding.port;
}

TEST(ChannelBindingsTest, WithEveryChannelTakenEvenABoundPortIsRefused)
{
    ChannelBindings bindings;
    for (int32_t port = 0; port < PLAY_MAX_CHANNELS; ++port) ASSERT_TRUE(bindings.SetPlayPort(port * 2 + 1));

    EXPECT_FALSE(bindings.SetPlayPort(0));
    EXPECT_EQ(ChannelBindings::kUnbound, bindings.ChannelOf(0));
    EXPECT_FALSE(bindings.SetPlayPort(1));
    EXPECT_EQ(0, bindings.ChannelOf(1));
    EXPECT_EQ(PLAY_MAX_CHANNELS - 1, bindings.ChannelOf(PLAY_MAX_CHANNELS * 2 - 1));
}
