#include "trace/trace_log.h"

#include "config/paths.h"
#include "platform/platform.h"

#include <cstdio>
#include <memory>

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

// Text up to its first NUL byte, as a C string is written.
void AppendText(std::string& record, const std::string& text)
{
    record += text.c_str();  // NOLINT(readability-redundant-string-cstr): c_str() is what stops at the NUL
}

void AppendPair(std::string& record, const std::string& label, const std::string& value)
{
    record += '\n';
    AppendText(record, label);
    record += ":[";
    AppendText(record, value);
    record += ']';
}

// The whole record: "\n[timestamp]" and three "\nlabel:[value]" lines, then "\n".
std::string RecordText(const std::string& label1, const std::string& value1, const std::string& label2,
                       const std::string& value2, const std::string& label3, const std::string& value3)
{
    std::string record = "\n[" + Timestamp() + "]";
    AppendPair(record, label1, value1);
    AppendPair(record, label2, value2);
    AppendPair(record, label3, value3);
    record += '\n';
    return record;
}

// Closes the file whatever happens after it was opened.
using OpenFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Appends the bytes and tells the file's size afterwards; -1 when it cannot be opened.
long AppendAndMeasure(const std::string& path, const std::string& bytes)
{
    const OpenFile file(std::fopen(path.c_str(), "a+"), &std::fclose);
    if (!file) return -1;
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    // The C runtime of Windows tells the position of an appending text stream
    // only once the written data has reached the file.
    std::fflush(file.get());
    return std::ftell(file.get());
}

}  // namespace

TraceLog::TraceLog()
{
    const std::string directory = DefaultLogDirectory();
    runtimeLogPath = directory + kDefaultRuntimeLog;
    errorLogPath = directory + kDefaultErrorLog;
}

bool TraceLog::SetRuntimeLogPath(const std::string& name) noexcept
{
    return AssignPath(runtimeLogPath, name, kDefaultRuntimeLog);
}

bool TraceLog::SetErrorLogPath(const std::string& name) noexcept
{
    return AssignPath(errorLogPath, name, kDefaultErrorLog);
}

bool TraceLog::AssignPath(std::string& path, const std::string& name, const char* bareDefault) noexcept
{
    try {
        path = name.empty() ? bareDefault : name;
        return true;
    } catch (...) {
        return false;  // the path stays as it was
    }
}

void TraceLog::AppendRecord(const std::string& path, const std::string& label1, const std::string& value1,
                            const std::string& label2, const std::string& value2, const std::string& label3,
                            const std::string& value3)
{
    // Every allocation happens before the file is opened, and the file is
    // closed before the move: a failure can lose the record, never keep a file open.
    const std::string record = RecordText(label1, value1, label2, value2, label3, value3);
    // A file grown past the limit is moved to its backup name, replacing the
    // previous backup; the next record starts a new file. A move that fails is
    // tried again after the next record, since the file is then still too large.
    if (AppendAndMeasure(path, record) > LOG_ROTATE_SIZE) platform::MoveReplacing(path, path + ".bak");
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
