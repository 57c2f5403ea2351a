#include "trace/trace_log.h"

#include "config/paths.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kDefaultRuntimeLog[] = "tavo_runtime.log";
const char kDefaultErrorLog[] = "tavo_error.log";

std::string DefaultLogDirectory()
{
    std::string root = "c:/";
    GetSystemDriveRoot(root);
    return root + "tavo/";
}

std::string_view BaseName(std::string_view path)
{
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// Every field of the timestamp has two digits.
unsigned TwoDigits(int value)
{
    return static_cast<unsigned>(value) % 100u;
}

}  // namespace

// One record, formatted in place. Text beyond MAX_RECORD_BYTES is cut.
class TraceLog::Record {
public:
    // Starts the record with "\n[MM-DD hh:mm:ss.cc]", hundredths rounded down; no year.
    Record() noexcept
    {
        const platform::LocalTime now = platform::CurrentLocalTime();
        char stamp[20] = {};
        std::snprintf(stamp, sizeof stamp, "%02u-%02u %02u:%02u:%02u.%02u", TwoDigits(now.month), TwoDigits(now.day),
                      TwoDigits(now.hour), TwoDigits(now.minute), TwoDigits(now.second),
                      TwoDigits(static_cast<int>(now.millisecond / 10)));
        Append("\n[");
        Append(stamp);
        Append("]");
    }

    // The text up to its first NUL byte.
    void Append(std::string_view text) noexcept
    {
        const std::size_t length = std::min({text.size(), text.find('\0'), sizeof bytes - size});
        std::memcpy(bytes + size, text.data(), length);
        size += length;
    }

    // "\nlabel:[value]"
    void AppendPair(std::string_view label, Pieces value) noexcept
    {
        Append("\n");
        Append(label);
        Append(":[");
        for (const std::string_view piece : value) Append(piece);
        Append("]");
    }

    const char* Data() const { return bytes; }
    std::size_t Size() const { return size; }

private:
    char bytes[MAX_RECORD_BYTES];
    std::size_t size = 0;
};

TraceLog::TraceLog()
    : runtimeLog(DefaultLogDirectory() + kDefaultRuntimeLog), errorLog(DefaultLogDirectory() + kDefaultErrorLog)
{
}

bool TraceLog::SetRuntimeLogPath(const std::string& name) noexcept
{
    return AssignPath(runtimeLog, name, kDefaultRuntimeLog);
}

bool TraceLog::SetErrorLogPath(const std::string& name) noexcept
{
    return AssignPath(errorLog, name, kDefaultErrorLog);
}

bool TraceLog::AssignPath(LogFile& log, const std::string& name, const char* bareDefault) noexcept
{
    try {
        log = LogFile(name.empty() ? bareDefault : name);
        return true;
    } catch (...) {
        return false;  // the paths stay as they were
    }
}

void TraceLog::WriteRuntime(std::string_view label1, std::string_view value1, std::string_view label2,
                            std::string_view value2, std::string_view label3, std::string_view value3) noexcept
{
    Record record;
    record.AppendPair(label1, {value1});
    record.AppendPair(label2, {value2});
    record.AppendPair(label3, {value3});
    record.Append("\n");
    Append(runtimeLog, record);
}

void TraceLog::WriteError(std::string_view sourceFile, int32_t line, int32_t code, Pieces text) noexcept
{
    char codeText[12] = {};
    std::snprintf(codeText, sizeof codeText, "%d", static_cast<int>(code));
    const std::string_view source = BaseName(sourceFile);
    char context[MAX_CONTEXT_CHARS + 1] = {};
    std::snprintf(context, sizeof context, "Source File: [%.*s], LINE: [%d]", static_cast<int>(source.size()),
                  source.data(), static_cast<int>(line));
    Record record;
    record.AppendPair("ErrCode", {codeText});
    record.AppendPair("Context", {context});
    record.AppendPair("ErrString", text);
    record.Append("\n");
    Append(errorLog, record);
}

// The only place that touches a log file. A file grown past the limit is moved
// to its backup name, replacing the previous backup; the next record starts a
// new file. A move that fails is tried again after the next record, since the
// file is then still too large. The file is closed before the move.
void TraceLog::Append(const LogFile& log, const Record& record) noexcept
{
    std::FILE* file = std::fopen(log.path.c_str(), "a+");
    if (file == nullptr) return;
    std::fwrite(record.Data(), 1, record.Size(), file);
    // The C runtime of Windows tells the position of an appending text stream
    // only once the written data has reached the file.
    std::fflush(file);
    const long size = std::ftell(file);
    std::fclose(file);
    if (size > LOG_ROTATE_SIZE) platform::MoveReplacing(log.path, log.backupPath);
}
