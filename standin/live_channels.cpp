#include "live_channels.h"

#include "window_drawing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr int32_t kStatusIllegalInput = -1;
constexpr int32_t kStatusBufferFull = -2;
constexpr int32_t kStatusCannotWrite = -3;

int64_t NowMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ParseCount(const char* text, char expectedEnd, uint32_t& value, const char*& end)
{
    char* stop = nullptr;
    const unsigned long long parsed = std::strtoull(text, &stop, 10);
    if (stop == text || *stop != expectedEnd || parsed > UINT32_MAX) return false;
    value = static_cast<uint32_t>(parsed);
    end = stop;
    return true;
}

}  // namespace

bool ParseLiveSetting(const char* text, uint32_t& bufferBytes, uint32_t& drainBytesPerSecond)
{
    if (text == nullptr) return false;
    uint32_t buffer = 0;
    uint32_t drain = 0;
    const char* end = text;
    if (!ParseCount(text, ',', buffer, end) || !ParseCount(end + 1, '\0', drain, end)) return false;
    if (buffer == 0 || drain == 0) return false;
    bufferBytes = buffer;
    drainBytesPerSecond = drain;
    return true;
}

void LiveChannels::Configure(uint32_t buffer, uint32_t drainRate)
{
    bufferBytes = buffer;
    drainBytesPerSecond = drainRate;
}

const LiveChannels::Channel* LiveChannels::Find(int32_t channel) const
{
    if (channel < 0 || channel >= static_cast<int32_t>(channels.size())) return nullptr;
    return &channels[static_cast<std::size_t>(channel)];
}

LiveChannels::Channel* LiveChannels::Find(int32_t channel)
{
    return const_cast<Channel*>(std::as_const(*this).Find(channel));
}

void LiveChannels::Open(int32_t channel)
{
    if (Channel* found = Find(channel)) {
        *found = Channel{};
        found->facts.channel = channel;
        const DrawingProcess process = ThisProcess();
        found->facts.processId = process.id;
        found->facts.processName = process.name;
    }
}

void LiveChannels::Stop(int32_t channel)
{
    if (Channel* found = Find(channel)) found->bufferedBytes = 0;
}

void LiveChannels::SetWindow(int32_t channel, uintptr_t window)
{
    if (Channel* found = Find(channel)) found->window = window;
}

void LiveChannels::Drain(Channel& channel) const
{
    const int64_t now = NowMicroseconds();
    const double drained = static_cast<double>(now - channel.drainedUntilMicroseconds) * drainBytesPerSecond / 1e6;
    channel.bufferedBytes = std::max(0.0, channel.bufferedBytes - drained);
    channel.drainedUntilMicroseconds = now;
}

int32_t LiveChannels::Input(int32_t channel, const uint8_t* data, uint32_t size)
{
    Channel* found = Find(channel);
    if (found == nullptr || data == nullptr) return kStatusIllegalInput;
    Drain(*found);
    if (found->bufferedBytes > 0 && found->bufferedBytes + size > bufferBytes) return kStatusBufferFull;

    found->bufferedBytes += size;
    TestCardFacts& facts = found->facts;
    ++facts.frames;
    facts.bytes += size;
    facts.lastData.assign(data, data + std::min<uint32_t>(size, TEST_CARD_WIDTH));
    if (found->window != 0) Show(*found);
    return 0;
}

void LiveChannels::Show(const Channel& channel)
{
    try {
        DrawIntoWindow(channel.window, TestCardBmp(channel.facts));
    } catch (const std::bad_alloc&) {
        // A frame without the memory to draw it is not shown, as with a decoder that falls behind.
    }
}

int32_t LiveChannels::Capture(int32_t channel, uintptr_t picture) const
{
    const Channel* found = Find(channel);
    if (found == nullptr || picture == 0) return kStatusIllegalInput;
    const std::vector<uint8_t> file = TestCardBmp(found->facts);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the vendor passes the picture as an address; here a file path.
    const char* path = reinterpret_cast<const char*>(picture);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path, "wb"), &std::fclose);
    if (!out) return kStatusCannotWrite;
    if (std::fwrite(file.data(), 1, file.size(), out.get()) != file.size()) return kStatusCannotWrite;
    return std::fclose(out.release()) == 0 ? 0 : kStatusCannotWrite;
}
