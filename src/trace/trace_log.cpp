#include "trace/trace_log.h"

#include "config/paths.h"
#include "platform/platform.h"

#include <cstdio>

namespace {

const char kDefaultRuntimeLog[] = "tavo_runtime.log";
const char kDefaultErrorLog[] = "tavo_error.log";

std::string DefaultLogDirectory()
{
    std::string root = "c:/";
    GetSystemDriveRoot(root);
    return root + "tavo/";
}

std::string BaseName(std::string path)
{
    for (char& c : path)
        if (c == '\\') c = '/';
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every field of the timestamp has two digits.
unsigned TwoDigits(int value)
{
    return static_cast<unsigned>(value) % 100u;
}

// "MM-DD hh:mm:ss.cc", hundredths rounded down; no year.
std::string Timestamp()
{
    const platform::LocalTime now = platform::CurrentLocalTime();
    char text[20] = {};
    std::snprintf(text, sizeof text, "%02u-%02u %02u:%02u:%02u.%02u", TwoDigits(now.month), TwoDigits(now.day),
                  TwoDigits(now.hour), TwoDigits(now.minute), TwoDigits(now.second),
                  TwoDigits(static_cast<int>(now.millisecond / 10)));
    return text;
}

// A file that has grown past the limit is moved to its backup name, replacing
// the previous backup; the next record starts a new file. A move that fails is
// tried again after the next record, since the file is then still too large.
void RotateIfTooLarge(std::FILE* file, const std::string& path)
{
    const long size = std::ftell(file);
    std::fclose(file);
    if (size > TraceLog::LOG_ROTATE_SIZE) platform::MoveReplacing(path, path + ".bak");
}

}  // namespace

TraceLog::TraceLog()
{
    const std::string directory = DefaultLogDirectory();
    runtimeLogPath = directory + kDefaultRuntimeLog;
    errorLogPath = directory + kDefaultErrorLog;
}

void TraceLog::SetRuntimeLogPath(const std::string& name) noexcept
{
    try {
        runtimeLogPath = name.empty() ? kDefaultRuntimeLog : name;
    } catch (...) {
    }
}

void TraceLog::SetErrorLogPath(const std::string& name) noexcept
{
    try {
        errorLogPath = name.empty() ? kDefaultErrorLog : name;
    } catch (...) {
    }
}

void TraceLog::AppendRecord(const std::string& path, const std::string& label1, const std::string& value1,
                            const std::string& label2, const std::string& value2, const std::string& label3,
                            const std::string& value3)
{
    std::FILE* file = std::fopen(path.c_str(), "a+");
    if (file == nullptr) return;
    std::fprintf(file, "\n[%s]", Timestamp().c_str());
    std::fprintf(file, "\n%s:[%s]\n%s:[%s]\n%s:[%s]\n", label1.c_str(), value1.c_str(), label2.c_str(),
                 value2.c_str(), label3.c_str(), value3.c_str());
    RotateIfTooLarge(file, path);
}

void TraceLog::WriteRuntime(const std::string& label1, const std::string& value1, const std::string& label2,
                            const std::string& value2, const std::string& label3, const std::string& value3) noexcept
{
    try {
        AppendRecord(runtimeLogPath, label1, value1, label2, value2, label3, value3);
    } catch (...) {
    }
}

void TraceLog::WriteError(const std::string& sourceFile, int32_t line, int32_t code, const std::string& text) noexcept
{
    try {
        char context[MAX_CONTEXT_CHARS + 1] = {};
        std::snprintf(context, sizeof context, "Source File: [%s], LINE: [%d]", BaseName(sourceFile).c_str(),
                      static_cast<int>(line));
        AppendRecord(errorLogPath, "ErrCode", std::to_string(code), "Context", context, "ErrString", text);
    } catch (...) {
    }
}

void TraceLog::WriteErrorDetail(const std::string& sourceFile, int32_t line, int32_t code, const std::string& text,
                                const std::string& detail) noexcept
{
    try {
        WriteError(sourceFile, line, code, text + "\n" + detail);
    } catch (...) {
    }
}
