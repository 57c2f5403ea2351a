#pragma once

// The picture the stand-in shows in a channel's window and hands out for a
// capture: a 352 by 288 test card with colour bars, the channel's figures and
// the process that drew it written on it, the frame number and that process's
// id also as rows of blocks that a program can read back, and a band drawn
// from the last data the channel took.

#include "PelShx_PlaySDK.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The size the plug-in opens every stream at.
constexpr int32_t TEST_CARD_WIDTH = PLAY_PICTURE_WIDTH;
constexpr int32_t TEST_CARD_HEIGHT = PLAY_PICTURE_HEIGHT;

struct TestCardColour {
    uint8_t red, green, blue;
};

// Eight bars side by side across the top, TEST_CARD_BARS_HEIGHT high.
constexpr TestCardColour TEST_CARD_BARS[] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                             {235, 16, 235},  {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};
constexpr int TEST_CARD_BAR_COUNT = sizeof TEST_CARD_BARS / sizeof TEST_CARD_BARS[0];
constexpr int TEST_CARD_BARS_HEIGHT = 96;

// A code row: 32 blocks across the whole width, the most significant bit on
// the left, white for 1 and black for 0, TEST_CARD_CODE_HEIGHT high.
constexpr int TEST_CARD_CODE_BITS = 32;
constexpr int TEST_CARD_CODE_HEIGHT = 10;
constexpr int TEST_CARD_FRAME_CODE_TOP = 140;
constexpr int TEST_CARD_PROCESS_CODE_TOP = 194;
constexpr TestCardColour TEST_CARD_CODE_ONE{255, 255, 255};
constexpr TestCardColour TEST_CARD_CODE_ZERO{0, 0, 0};

struct TestCardFacts {
    int32_t channel = 0;
    uint32_t frames = 0;            // data blocks taken since the stream was opened
    uint64_t bytes = 0;             // bytes taken since the stream was opened
    std::vector<uint8_t> lastData;  // the start of the last block taken
    uint32_t processId = 0;         // the process that draws the card
    std::string processName;        // its program's file name
};

// The whole file: a 24-bit uncompressed BMP, rows bottom-up.
std::vector<uint8_t> TestCardBmp(const TestCardFacts& facts);
