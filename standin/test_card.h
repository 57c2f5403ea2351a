#pragma once

// The picture the stand-in hands out for a capture: a 352 by 288 test card
// with colour bars, the channel's figures written on it, and a band drawn from
// the last data the channel took.

#include "PelShx_PlaySDK.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The size the plug-in opens every stream at.
constexpr int32_t TEST_CARD_WIDTH = PLAY_PICTURE_WIDTH;
constexpr int32_t TEST_CARD_HEIGHT = PLAY_PICTURE_HEIGHT;

struct TestCardFacts {
    int32_t channel = 0;
    uint32_t frames = 0;            // data blocks taken since the stream was opened
    uint64_t bytes = 0;             // bytes taken since the stream was opened
    std::vector<uint8_t> lastData;  // the start of the last block taken
};

// The whole file: a 24-bit uncompressed BMP, rows bottom-up.
std::vector<uint8_t> TestCardBmp(const TestCardFacts& facts);
