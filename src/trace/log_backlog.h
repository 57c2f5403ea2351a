#pragma once

// The records of one log that wait while another program holds the log file:
// kept in order, as the file will hold them, in a buffer of fixed size made
// once. A record that does not fit, and every record after it until the
// backlog is written, is counted instead, with the time of the first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

class LogBacklog {
public:
    static constexpr std::size_t CAPACITY = 262144;  // 256 KiB
    // "MM-DD hh:mm:ss.cc", the timestamp of a record.
    static constexpr std::size_t STAMP_CHARS = 17;

    LogBacklog();  // throws std::bad_alloc when the buffer cannot be made
    LogBacklog(LogBacklog&& other) noexcept;
    LogBacklog& operator=(LogBacklog&& other) noexcept;

    // Keeps the record's bytes, or counts it as lost. Allocates nothing.
    void Keep(std::string_view record, std::string_view stamp) noexcept;

    // Nothing kept, nothing lost.
    bool Empty() const { return used == 0 && lost == 0; }
    std::string_view Kept() const { return {bytes.get(), used}; }
    // The kept records have been written.
    void ForgetKept() noexcept;
    // The kept records cannot be written: they are counted as lost.
    void LoseKept() noexcept;

    std::uint32_t Lost() const { return lost; }
    std::string_view FirstLostStamp() const { return {firstLostStamp, STAMP_CHARS}; }
    // The record that tells of the lost ones has been written.
    void ForgetLost() noexcept { lost = 0; }

private:
    void CountLost(std::uint32_t records, std::string_view stamp) noexcept;

    std::unique_ptr<char[]> bytes;
    std::size_t used = 0;
    std::uint32_t kept = 0;
    char firstKeptStamp[STAMP_CHARS] = {};
    std::uint32_t lost = 0;
    char firstLostStamp[STAMP_CHARS] = {};
};
