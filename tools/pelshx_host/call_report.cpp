#include "call_report.h"

#include "PelShx_PlaySDK.h"

#include <cinttypes>
#include <cstdio>

const char* ResultName(int32_t result)
{
    switch (result) {
    case PLAY_OK: return "PLAY_OK";
    case PLAY_ERR_PARAM: return "PLAY_ERR_PARAM";
    case PLAY_ERR_NOT_OPEN: return "PLAY_ERR_NOT_OPEN";
    case PLAY_ERR_BUFFER: return "PLAY_ERR_BUFFER";
    case PLAY_ERR_MAX_STREAMS: return "PLAY_ERR_MAX_STREAMS";
    case PLAY_ERR_UNKNOWN: return "PLAY_ERR_UNKNOWN";
    case -1: return "no system drive";  // Play_Init only
    default: return "not a result code";
    }
}

std::string Hex(uintptr_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%08" PRIxPTR, value);
    return text;
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

void CallReport::Slot(int slot, const std::string& call, const TimedResult& outcome, const std::string& note,
                      int32_t expected)
{
    const bool asExpected = outcome.result == expected;
    if (!asExpected) ++unexpected;
    std::string text = std::to_string(outcome.result) + " " + ResultName(outcome.result);
    if (!note.empty()) text += ", " + note;
    if (!asExpected) text += "  <- expected " + std::to_string(expected);
    char label[16];
    std::snprintf(label, sizeof label, "slot %2d", slot);
    Line(label, call, text, outcome.seconds);
}

void CallReport::Export(const std::string& call, const std::string& outcome, double seconds, bool asExpected)
{
    if (!asExpected) ++unexpected;
    Line("export", call, outcome, seconds);
}

void CallReport::Note(const std::string& text)
{
    out << "  " << text << '\n';
}

void CallReport::Line(const std::string& label, const std::string& call, std::string outcome, double seconds)
{
    if (IsSlow(seconds)) {
        ++slow;
        outcome += "  <- slow";
    }
    char line[512];
    std::snprintf(line, sizeof line, "%-8s %-58s %9.2f ms  %s", label.c_str(), call.c_str(), seconds * 1000,
                  outcome.c_str());
    out << line << '\n';
}
