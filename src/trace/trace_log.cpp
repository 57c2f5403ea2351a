#include "trace/trace_log.h"

#include "config/paths.h"
#include "trace/log_texts.h"

#include <cstdio>
#include <cstring>

namespace {

const char kDefaultRuntimeLog[] = "tavo_runtime.log";
const char kDefaultErrorLog[] = "tavo_error.log";
// The source named in the logger's own error records.
const char kLoggerSource[] = ".\\Src\\TraceLog";

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

// One record, formatted in place as the file will hold it: each "\n" becomes
// the system's line break. Text beyond MAX_RECORD_BYTES is cut.
class TraceLog::Record {
public:
    // Starts the record with "\n[MM-DD hh:mm:ss.cc]", hundredths rounded down; no year.
    Record() noexcept
    {
        const platform::LocalTime now = platform::CurrentLocalTime();
        std::snprintf(stamp, sizeof stamp, "%02u-%02u %02u:%02u:%02u.%02u", TwoDigits(now.month), TwoDigits(now.day),
                      TwoDigits(now.hour), TwoDigits(now.minute), TwoDigits(now.second),
                      TwoDigits(static_cast<int>(now.millisecond / 10)));
        Append("\n[");
        Append(stamp);
        Append("]");
    }

    // A runtime record: three pairs.
    static Record Runtime(std::string_view label1, std::string_view value1, std::string_view label2,
                          std::string_view value2, std::string_view label3, std::string_view value3) noexcept
    {
        Record record;
        record.AppendPair(label1, {value1});
        record.AppendPair(label2, {value2});
        record.AppendPair(label3, {value3});
        record.Append("\n");
        return record;
    }

    // An error record: the code, the place that reports it and the text.
    static Record Error(std::string_view sourceFile, int32_t line, int32_t code, Pieces text) noexcept
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
        return record;
    }

    // The text up to its first NUL byte.
    void Append(std::string_view text) noexcept
    {
        for (const char c : text.substr(0, text.find('\0'))) {
            if (c == '\n')
                AppendBytes(platform::kLineBreak, std::strlen(platform::kLineBreak));
            else
                AppendBytes(&c, 1);
        }
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

    std::string_view Bytes() const { return {bytes, size}; }
    std::string_view Stamp() const { return {stamp, LogBacklog::STAMP_CHARS}; }

private:
    void AppendBytes(const char* from, std::size_t count) noexcept
    {
        if (count > sizeof bytes - size) return;
        std::memcpy(bytes + size, from, count);
        size += count;
    }

    char stamp[LogBacklog::STAMP_CHARS + 1] = {};
    char bytes[MAX_RECORD_BYTES];
    std::size_t size = 0;
};

// The log's lock, held for one append or move aside when it is wanted and
// can be had.
class TraceLog::LockScope {
public:
    LockScope(LogFile& log, bool wanted, unsigned patience) noexcept : lock(log.lock), taken(false)
    {
        if (!wanted) return;
        const std::uint64_t now = platform::MonotonicMilliseconds();
        const bool quiet = now < log.quietUntil;
        taken = lock.Take(quiet ? 0 : patience);
        if (!taken && !quiet) log.quietUntil = now + LOCK_QUIET_MS;
    }
    ~LockScope()
    {
        if (taken) lock.Release();
    }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    platform::FileLock& lock;
    bool taken;
};

TraceLog::LogFile::LogFile(const std::string& file)
    : path(file), backupPath(file + ".bak"), lock(file), lockNoteDue(lock.Problem() != 0)
{
}

TraceLog::TraceLog()
    : runtimeLog(DefaultLogDirectory() + kDefaultRuntimeLog), errorLog(DefaultLogDirectory() + kDefaultErrorLog)
{
}

TraceLog::~TraceLog()
{
    WriteWaitingRecords();
}

bool TraceLog::SetRuntimeLogPath(const std::string& name) noexcept
{
    return AssignPath(runtimeLog, name, kDefaultRuntimeLog);
}

bool TraceLog::SetErrorLogPath(const std::string& name) noexcept
{
    return AssignPath(errorLog, name, kDefaultErrorLog);
}

// The backlog's buffer stays with the log: only the path and its lock change.
// The same path again keeps the lock, unless it could not be had before.
bool TraceLog::AssignPath(LogFile& log, const std::string& name, const char* bareDefault) noexcept
{
    try {
        std::string path = name.empty() ? bareDefault : name;
        if (path == log.path && log.lock.Problem() == 0) return true;
        std::string backupPath = path + ".bak";
        platform::FileLock lock(path);
        if (path != log.path) {
            Append(log, nullptr);
            log.backlog.LoseKept();
        }
        log.path = std::move(path);
        log.backupPath = std::move(backupPath);
        log.lock = std::move(lock);
        log.lockNoteDue = log.lock.Problem() != 0;
        log.quietUntil = 0;
        return true;
    } catch (...) {
        return false;  // the paths stay as they were
    }
}

void TraceLog::WriteRuntime(std::string_view label1, std::string_view value1, std::string_view label2,
                            std::string_view value2, std::string_view label3, std::string_view value3) noexcept
{
    const Record record = Record::Runtime(label1, value1, label2, value2, label3, value3);
    Append(runtimeLog, &record);
}

void TraceLog::WriteError(std::string_view sourceFile, int32_t line, int32_t code, Pieces text) noexcept
{
    const Record record = Record::Error(sourceFile, line, code, text);
    Append(errorLog, &record);
}

void TraceLog::WriteWaitingRecords() noexcept
{
    Append(runtimeLog, nullptr);
    Append(errorLog, nullptr);
}

// The only place that writes a log file: what waits, then the record (none
// when only what waits is to be written). A file grown past the limit is
// moved to its backup name, replacing the previous backup; the next record
// starts a new file. A move that fails is tried again after the next record,
// since the file is then still too large.
void TraceLog::Append(LogFile& log, const Record* record) noexcept
{
    if (record == nullptr && log.backlog.Empty()) return;
    std::int64_t size = -1;
    {
        const LockScope lock(log, platform::kAppendsTakeTheLock, APPEND_LOCK_WAIT_MS);
        if (log.lockNoteDue && record != nullptr) {
            log.lockNoteDue = false;
            const Record note =
                Note(log, static_cast<int32_t>(log.lock.Problem()), texts::kLogLockUnavailable, log.lock.Name());
            WriteInOrder(log, &note);
        }
        size = WriteInOrder(log, record);
    }
    if (size > LOG_ROTATE_SIZE) MoveAside(log);
}

// While the file is held, the record joins the backlog; once it can be
// written again, the backlog goes first, then the note of the records that did
// not fit, then the record. The file's size after the last write, or -1.
std::int64_t TraceLog::WriteInOrder(LogFile& log, const Record* record) noexcept
{
    LogBacklog& backlog = log.backlog;
    std::int64_t size = -1;
    if (!backlog.Kept().empty()) {
        size = platform::AppendToFile(log.path, backlog.Kept().data(), backlog.Kept().size());
        if (size >= 0)
            backlog.ForgetKept();
        else if (size != platform::kFileHeld)
            backlog.LoseKept();  // such as the directory gone: lost as records to it are
    }
    if (size != platform::kFileHeld && backlog.Lost() != 0) {
        const Record note = LossNote(log);
        size = platform::AppendToFile(log.path, note.Bytes().data(), note.Bytes().size());
        if (size >= 0) backlog.ForgetLost();
    }
    if (record == nullptr) return size;
    if (size != platform::kFileHeld)
        size = platform::AppendToFile(log.path, record->Bytes().data(), record->Bytes().size());
    if (size == platform::kFileHeld) backlog.Keep(record->Bytes(), record->Stamp());
    return size;
}

// "<count>, <time of the first lost record>".
TraceLog::Record TraceLog::LossNote(const LogFile& log) const noexcept
{
    char detail[40] = {};
    std::snprintf(detail, sizeof detail, "%u, %.*s", static_cast<unsigned>(log.backlog.Lost()),
                  static_cast<int>(LogBacklog::STAMP_CHARS), log.backlog.FirstLostStamp().data());
    return Note(log, 0, texts::kRecordsLostWhileHeld, detail);
}

TraceLog::Record TraceLog::Note(const LogFile& log, int32_t code, std::string_view text,
                                std::string_view detail) const noexcept
{
    if (&log == &errorLog) return Record::Error(kLoggerSource, __LINE__, code, {text, "\n", detail});
    return Record::Runtime(text, detail, "", "", "", "");
}

// Other processes write the same log and may have just moved it aside: under
// the lock they all take, the size is measured again, so that a fresh log is
// never moved over the full backup.
void TraceLog::MoveAside(LogFile& log) noexcept
{
    const LockScope lock(log, true, MOVE_LOCK_WAIT_MS);
    if (platform::FileSize(log.path) > LOG_ROTATE_SIZE) platform::MoveReplacing(log.path, log.backupPath);
}
