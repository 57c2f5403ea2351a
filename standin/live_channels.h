#pragma once

// The stand-in's live mode: every channel behaves like a decoder with a bounded
// input buffer that plays its data out at a steady rate. Data that does not fit
// is refused with -2 until enough has drained, so a host sees the refusals and
// waits of a vendor library under load; each input it takes is shown in the
// channel's window, and a capture writes the same picture to a file that a
// person can open.

#include "test_card.h"

#include <array>
#include <cstdint>

class LiveChannels {
public:
    // A buffer of 0 bytes switches live mode off.
    void Configure(uint32_t buffer, uint32_t drainRate);
    bool Enabled() const { return bufferBytes != 0; }

    // Opening empties the channel's buffer and starts its counts again; stopping
    // empties the buffer.
    void Open(int32_t channel);
    void Stop(int32_t channel);
    // The window the channel's pictures are drawn into; 0 for none. Handing
    // the same window again changes nothing.
    void SetWindow(int32_t channel, uintptr_t window);

    // 0 when the data was taken, -2 while the buffer has no room for it, -1 for
    // a channel out of range. An empty buffer takes a block of any size. Data
    // taken is a new frame, drawn into the channel's window.
    int32_t Input(int32_t channel, const uint8_t* data, uint32_t size);

    // Writes the channel's test card as a BMP file to the path that picture
    // points at: 0, -1 for a null picture or a channel out of range, -3 when
    // the file cannot be written.
    int32_t Capture(int32_t channel, uintptr_t picture) const;

private:
    struct Channel {
        double bufferedBytes = 0;
        int64_t drainedUntilMicroseconds = 0;
        TestCardFacts facts;
        uintptr_t window = 0;
    };

    const Channel* Find(int32_t channel) const;
    Channel* Find(int32_t channel);
    void Drain(Channel& channel) const;
    static void Show(const Channel& channel);

    uint32_t bufferBytes = 0;
    uint32_t drainBytesPerSecond = 0;
    std::array<Channel, PLAY_MAX_CHANNELS> channels;
};

// Reads "BUFFER_BYTES,DRAIN_BYTES_PER_SECOND", such as "65536,131072", both
// from 1 to 4294967295. False, with both values left alone, when the text is
// not of that form.
bool ParseLiveSetting(const char* text, uint32_t& bufferBytes, uint32_t& drainBytesPerSecond);
