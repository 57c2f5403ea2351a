#pragma once

// The runtime and error logs. Each record is formatted into a buffer of its
// own, then appended by one function that opens the file, writes, measures and
// closes it; a file that grows past LOG_ROTATE_SIZE is moved aside to
// "<name>.bak". Writing a record allocates nothing and cannot fail to the
// caller: a record that cannot be written is dropped without a word. Only
// setting a path reports failure.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

class TraceLog {
public:
    static constexpr long LOG_ROTATE_SIZE = 20971520;  // 20 MiB
    static constexpr std::size_t MAX_CONTEXT_CHARS = 255;
    // Far above any record of the plug-in's; a longer record is cut here.
    static constexpr std::size_t MAX_RECORD_BYTES = 4096;

    // A value made of pieces written one after the other, each up to its
    // first NUL byte, as a C string is written.
    using Pieces = std::initializer_list<std::string_view>;

    TraceLog();

    // False when the path could not be set (no memory); it then stays as it was.
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

private:
    struct LogFile {
        explicit LogFile(std::string file) : path(std::move(file)), backupPath(path + ".bak") {}
        std::string path;
        std::string backupPath;  // made with the path: rotating allocates nothing
    };
    class Record;

    static bool AssignPath(LogFile& log, const std::string& name, const char* bareDefault) noexcept;
    static void Append(const LogFile& log, const Record& record) noexcept;

    LogFile runtimeLog;
    LogFile errorLog;
};
