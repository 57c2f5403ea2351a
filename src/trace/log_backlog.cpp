#include "trace/log_backlog.h"

#include <algorithm>
#include <cstring>
#include <utility>

LogBacklog::LogBacklog() : bytes(new char[CAPACITY]) {}

LogBacklog::LogBacklog(LogBacklog&& other) noexcept
{
    *this = std::move(other);
}

// Swapped, so that the moved-from backlog is left with this one's records,
// which its owner writes or drops as its own.
LogBacklog& LogBacklog::operator=(LogBacklog&& other) noexcept
{
    std::swap(bytes, other.bytes);
    std::swap(used, other.used);
    std::swap(kept, other.kept);
    std::swap(firstKeptStamp, other.firstKeptStamp);
    std::swap(lost, other.lost);
    std::swap(firstLostStamp, other.firstLostStamp);
    return *this;
}

// Once one record has been lost, later ones are not kept even where they
// would fit: what is written stays in the order of writing, and the record
// that tells of the lost ones stands where they were.
void LogBacklog::Keep(std::string_view record, std::string_view stamp) noexcept
{
    if (lost != 0 || !bytes || record.size() > CAPACITY - used) {
        CountLost(1, stamp);
        return;
    }
    if (kept == 0) stamp.copy(firstKeptStamp, STAMP_CHARS);
    std::memcpy(bytes.get() + used, record.data(), record.size());
    used += record.size();
    ++kept;
}

void LogBacklog::ForgetKept() noexcept
{
    used = 0;
    kept = 0;
}

void LogBacklog::LoseKept() noexcept
{
    if (kept == 0) return;
    const std::uint32_t records = kept;
    ForgetKept();
    // The kept records came before any lost ones: the first of them is the first lost.
    const std::uint32_t laterLost = lost;
    lost = 0;
    CountLost(records + laterLost, {firstKeptStamp, STAMP_CHARS});
}

void LogBacklog::CountLost(std::uint32_t records, std::string_view stamp) noexcept
{
    if (lost == 0) stamp.copy(firstLostStamp, STAMP_CHARS);
    lost += records;
}
