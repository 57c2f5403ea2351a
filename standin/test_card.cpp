#include "test_card.h"

#include <cctype>

namespace {

using Colour = TestCardColour;

constexpr Colour kPanel{40, 40, 48};
constexpr Colour kText{255, 255, 255};

constexpr int kDataBandTop = 240;
constexpr int kTextLeft = 16;

// 5 by 7 glyphs, one row a byte, the leftmost pixel in bit 4.
struct Glyph {
    char character;
    uint8_t rows[7];
};

constexpr Glyph kFont[] = {
    {'0', {0b01110, 0b10001, 0b10011, 0b10101, 0b11001, 0b10001, 0b01110}},
    {'1', {0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110}},
    {'2', {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111}},
    {'3', {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110}},
    {'4', {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010}},
    {'5', {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110}},
    {'6', {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110}},
    {'7', {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000}},
    {'8', {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110}},
    {'9', {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100}},
    {'A', {0b01110, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001}},
    {'B', {0b11110, 0b10001, 0b10001, 0b11110, 0b10001, 0b10001, 0b11110}},
    {'C', {0b01110, 0b10001, 0b10000, 0b10000, 0b10000, 0b10001, 0b01110}},
    {'D', {0b11110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b11110}},
    {'E', {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b11111}},
    {'F', {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b10000}},
    {'G', {0b01110, 0b10001, 0b10000, 0b10111, 0b10001, 0b10001, 0b01111}},
    {'H', {0b10001, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001}},
    {'I', {0b01110, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110}},
    {'J', {0b00111, 0b00010, 0b00010, 0b00010, 0b00010, 0b10010, 0b01100}},
    {'K', {0b10001, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010, 0b10001}},
    {'L', {0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11111}},
    {'M', {0b10001, 0b11011, 0b10101, 0b10101, 0b10001, 0b10001, 0b10001}},
    {'N', {0b10001, 0b10001, 0b11001, 0b10101, 0b10011, 0b10001, 0b10001}},
    {'O', {0b01110, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110}},
    {'P', {0b11110, 0b10001, 0b10001, 0b11110, 0b10000, 0b10000, 0b10000}},
    {'Q', {0b01110, 0b10001, 0b10001, 0b10001, 0b10101, 0b10010, 0b01101}},
    {'R', {0b11110, 0b10001, 0b10001, 0b11110, 0b10100, 0b10010, 0b10001}},
    {'S', {0b01111, 0b10000, 0b10000, 0b01110, 0b00001, 0b00001, 0b11110}},
    {'T', {0b11111, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100}},
    {'U', {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110}},
    {'V', {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100}},
    {'W', {0b10001, 0b10001, 0b10001, 0b10101, 0b10101, 0b10101, 0b01010}},
    {'X', {0b10001, 0b10001, 0b01010, 0b00100, 0b01010, 0b10001, 0b10001}},
    {'Y', {0b10001, 0b10001, 0b01010, 0b00100, 0b00100, 0b00100, 0b00100}},
    {'Z', {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b11111}},
    {'.', {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b01100, 0b01100}},
    {'_', {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b11111}},
    {'-', {0b00000, 0b00000, 0b00000, 0b11111, 0b00000, 0b00000, 0b00000}},
};

constexpr int kGlyphScale = 2;
constexpr int kGlyphAdvance = 6 * kGlyphScale;

const Glyph* FindGlyph(char character)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    for (const Glyph& glyph : kFont)
        if (glyph.character == upper) return &glyph;
    return nullptr;  // a space, or a character the card never shows
}

// Pixels top-down, left to right.
class Canvas {
public:
    Canvas() : pixels(static_cast<std::size_t>(TEST_CARD_WIDTH) * TEST_CARD_HEIGHT) {}

    void Fill(int left, int top, int width, int height, Colour colour)
    {
        for (int y = top; y < top + height && y < TEST_CARD_HEIGHT; ++y)
            for (int x = left; x < left + width && x < TEST_CARD_WIDTH; ++x) At(x, y) = colour;
    }

    void Write(int left, int top, const std::string& text)
    {
        for (char character : text) {
            if (const Glyph* glyph = FindGlyph(character)) Draw(left, top, *glyph);
            left += kGlyphAdvance;
        }
    }

    Colour& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * TEST_CARD_WIDTH + x]; }

private:
    void Draw(int left, int top, const Glyph& glyph)
    {
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (glyph.rows[row] & (0x10 >> column))
                    Fill(left + column * kGlyphScale, top + row * kGlyphScale, kGlyphScale, kGlyphScale, kText);
    }

    std::vector<Colour> pixels;
};

void PaintBars(Canvas& canvas)
{
    const int barWidth = TEST_CARD_WIDTH / TEST_CARD_BAR_COUNT;
    for (int bar = 0; bar < TEST_CARD_BAR_COUNT; ++bar)
        canvas.Fill(bar * barWidth, 0, barWidth, TEST_CARD_BARS_HEIGHT, TEST_CARD_BARS[bar]);
}

void PaintCode(Canvas& canvas, int top, uint32_t value)
{
    const int blockWidth = TEST_CARD_WIDTH / TEST_CARD_CODE_BITS;
    for (int bit = 0; bit < TEST_CARD_CODE_BITS; ++bit) {
        const bool one = (value >> (TEST_CARD_CODE_BITS - 1 - bit)) & 1u;
        canvas.Fill(bit * blockWidth, top, blockWidth, TEST_CARD_CODE_HEIGHT,
                    one ? TEST_CARD_CODE_ONE : TEST_CARD_CODE_ZERO);
    }
}

// Each code row lies under the line that says the same in words.
void PaintFacts(Canvas& canvas, const TestCardFacts& facts)
{
    constexpr int kLineAbove = 18;
    canvas.Fill(0, TEST_CARD_BARS_HEIGHT, TEST_CARD_WIDTH, kDataBandTop - TEST_CARD_BARS_HEIGHT, kPanel);
    canvas.Write(kTextLeft, TEST_CARD_FRAME_CODE_TOP - 2 * kLineAbove, "CHANNEL " + std::to_string(facts.channel));
    canvas.Write(kTextLeft, TEST_CARD_FRAME_CODE_TOP - kLineAbove, "FRAME " + std::to_string(facts.frames));
    PaintCode(canvas, TEST_CARD_FRAME_CODE_TOP, facts.frames);
    canvas.Write(kTextLeft, TEST_CARD_PROCESS_CODE_TOP - 2 * kLineAbove, "PROCESS " + std::to_string(facts.processId));
    canvas.Write(kTextLeft, TEST_CARD_PROCESS_CODE_TOP - kLineAbove, facts.processName);
    canvas.Write(kTextLeft, TEST_CARD_PROCESS_CODE_TOP + TEST_CARD_CODE_HEIGHT + 10, "BYTES " + std::to_string(facts.bytes));
    PaintCode(canvas, TEST_CARD_PROCESS_CODE_TOP, facts.processId);
}

// One grey column per sample of the data, spread over the width.
void PaintDataBand(Canvas& canvas, const std::vector<uint8_t>& data)
{
    for (int x = 0; x < TEST_CARD_WIDTH; ++x) {
        const uint8_t level = data.empty() ? 128 : data[data.size() * x / TEST_CARD_WIDTH];
        canvas.Fill(x, kDataBandTop, 1, TEST_CARD_HEIGHT - kDataBandTop, {level, level, level});
    }
}

void Put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

constexpr uint32_t kHeadersSize = 14 + 40;
constexpr uint32_t kRowSize = TEST_CARD_WIDTH * 3;  // already a multiple of 4: no padding
constexpr uint32_t kImageSize = kRowSize * TEST_CARD_HEIGHT;

void PutHeaders(std::vector<uint8_t>& out)
{
    out.push_back('B');
    out.push_back('M');
    Put32(out, kHeadersSize + kImageSize);
    Put32(out, 0);  // reserved
    Put32(out, kHeadersSize);
    Put32(out, 40);  // BITMAPINFOHEADER
    Put32(out, TEST_CARD_WIDTH);
    Put32(out, TEST_CARD_HEIGHT);  // positive: bottom-up rows
    Put16(out, 1);                 // planes
    Put16(out, 24);                // bits per pixel
    Put32(out, 0);                 // no compression
    Put32(out, kImageSize);
    Put32(out, 2835);  // 72 dots per inch, in dots per metre
    Put32(out, 2835);
    Put32(out, 0);  // no palette
    Put32(out, 0);
}

}  // namespace

std::vector<uint8_t> TestCardBmp(const TestCardFacts& facts)
{
    Canvas canvas;
    PaintBars(canvas);
    PaintFacts(canvas, facts);
    PaintDataBand(canvas, facts.lastData);

    std::vector<uint8_t> file;
    file.reserve(kHeadersSize + kImageSize);
    PutHeaders(file);
    for (int y = TEST_CARD_HEIGHT - 1; y >= 0; --y)
        for (int x = 0; x < TEST_CARD_WIDTH; ++x) {
            const Colour pixel = canvas.At(x, y);
            file.insert(file.end(), {pixel.blue, pixel.green, pixel.red});
        }
    return file;
}
