#pragma once

// One line per call: which slot, what was passed, what came back, how long it took.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

// The name of a plug-in result code, such as "PLAY_ERR_BUFFER".
const char* ResultName(int32_t result);

std::string Hex(uintptr_t value);

// A call that takes this long holds a video host up noticeably.
constexpr int kSlowCallMilliseconds = 50;
inline bool IsSlow(double seconds)
{
    return seconds * 1000 >= kSlowCallMilliseconds;
}
std::string Seconds(double seconds);

class Stopwatch {
public:
    Stopwatch() : start(std::chrono::steady_clock::now()) {}
    double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); }

private:
    std::chrono::steady_clock::time_point start;
};

struct TimedResult {
    int32_t result = 0;
    double seconds = 0;
};

template <typename Call>
TimedResult TimeCall(Call&& call)
{
    const Stopwatch stopwatch;
    const int32_t result = call();
    return {result, stopwatch.Seconds()};
}

class CallReport {
public:
    explicit CallReport(std::ostream& output) : out(output) {}

    // A slot of the player interface; a result other than expected counts as
    // unexpected. Slow calls are flagged and counted, whatever made them slow.
    void Slot(int slot, const std::string& call, const TimedResult& outcome, const std::string& note = "",
              int32_t expected = 0);
    // An exported function, whose outcome is described in words.
    void Export(const std::string& call, const std::string& outcome, double seconds, bool asExpected);
    void Note(const std::string& text);

    int Unexpected() const { return unexpected; }
    int Slow() const { return slow; }

private:
    void Line(const std::string& label, const std::string& call, std::string outcome, double seconds);

    std::ostream& out;
    int unexpected = 0;
    int slow = 0;
};
