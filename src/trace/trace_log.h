#pragma once

// The runtime and error logs. Each record is formatted into a buffer of its
// own, with the system's text line breaks, then appended with one write that
// no other process writing the same log can split or overlap; a file that
// grows past LOG_ROTATE_SIZE is moved aside to "<name>.bak", one process at a
// time. Writing a record allocates nothing and cannot fail to the caller: a
// record that cannot be written is dropped without a word, except while
// another program holds the file: then it waits in the log's backlog and is
// written, in order, before the next record that can be. Only setting a path
// reports failure.

#include "platform/platform.h"
#include "trace/log_backlog.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

class TraceLog {
public:
    static constexpr std::int64_t LOG_ROTATE_SIZE = 20971520;  // 20 MiB
    static constexpr std::size_t MAX_CONTEXT_CHARS = 255;
    // Far above any record of the plug-in's, line breaks as written to the
    // file; a longer record is cut here.
    static constexpr std::size_t MAX_RECORD_BYTES = 4096;

    // A value made of pieces written one after the other, each up to its
    // first NUL byte, as a C string is written.
    using Pieces = std::initializer_list<std::string_view>;

    // How long an append and a move aside wait for the log's lock. Once a
    // wait has run out, the lock is only tried, without waiting, for
    // LOCK_QUIET_MS: a hung holder costs a host one wait per period, not one
    // per record. Without the lock the write or move goes ahead all the same.
    static constexpr unsigned APPEND_LOCK_WAIT_MS = 50;
    static constexpr unsigned MOVE_LOCK_WAIT_MS = 1000;
    static constexpr unsigned LOCK_QUIET_MS = 10000;

    TraceLog();
    // Writes the records that wait, where it now can.
    ~TraceLog();
    TraceLog(TraceLog&&) noexcept = default;
    TraceLog& operator=(TraceLog&&) = delete;

    // False when the path could not be set (no memory); it then stays as it was.
    // Records that wait for the old file are written to it where they can be,
    // else counted as lost in the new one. Setting the same path again keeps
    // everything.
    bool SetRuntimeLogPath(const std::string& name) noexcept;
    bool SetErrorLogPath(const std::string& name) noexcept;
    const std::string& RuntimeLogPath() const { return runtimeLog.path; }
    const std::string& ErrorLogPath() const { return errorLog.path; }

    // A runtime record: "\n[timestamp]" and three "\nlabel:[value]" lines, then "\n".
    void WriteRuntime(std::string_view label1, std::string_view value1, std::string_view label2,
                      std::string_view value2, std::string_view label3, std::string_view value3) noexcept;
    // An error record: the code, the source file's base name and line (cut to
    // MAX_CONTEXT_CHARS), and the text.
    void WriteError(std::string_view sourceFile, int32_t line, int32_t code, Pieces text) noexcept;

    // Writes the records that wait for a held file, where it now can.
    void WriteWaitingRecords() noexcept;

private:
    // Everything a log needs is made with its path, so that writing a record
    // allocates nothing. The lock is opened once and kept: its handle names a
    // kernel object and stands in no one's way, whereas a file handle kept open
    // would stop other programs from moving, replacing or deleting the log.
    struct LogFile {
        explicit LogFile(const std::string& file);
        std::string path;
        std::string backupPath;
        platform::FileLock lock;
        bool lockNoteDue;  // the first record tells that there is no lock
        std::uint64_t quietUntil = 0;  // no waiting for the lock before this time
        LogBacklog backlog;
    };
    class Record;
    class LockScope;

    bool AssignPath(LogFile& log, const std::string& name, const char* bareDefault) noexcept;
    void Append(LogFile& log, const Record* record) noexcept;
    std::int64_t WriteInOrder(LogFile& log, const Record* record) noexcept;
    static void MoveAside(LogFile& log) noexcept;
    // One of the logger's own records, in the form of the log it goes to.
    Record Note(const LogFile& log, int32_t code, std::string_view text, std::string_view detail) const noexcept;
    Record LossNote(const LogFile& log) const noexcept;

    LogFile runtimeLog;
    LogFile errorLog;
};
