#pragma once

// The runtime and error logs. Each record opens its file, appends and closes it
// again; a file that grows past LOG_ROTATE_SIZE is moved aside to "<name>.bak".
// A record that cannot be written is dropped without a word; only setting a
// path reports failure.

#include <cstdint>
#include <string>

class TraceLog {
public:
    static constexpr long LOG_ROTATE_SIZE = 20971520;  // 20 MiB
    static constexpr std::size_t MAX_CONTEXT_CHARS = 255;

    TraceLog();

    // False when the path could not be set (no memory); it then stays as it was.
    bool SetRuntimeLogPath(const std::string& name) noexcept;
    bool SetErrorLogPath(const std::string& name) noexcept;
    const std::string& RuntimeLogPath() const { return runtimeLogPath; }
    const std::string& ErrorLogPath() const { return errorLogPath; }

    void WriteRuntime(const std::string& label1, const std::string& value1, const std::string& label2,
                      const std::string& value2, const std::string& label3, const std::string& value3) noexcept;
    void WriteError(const std::string& sourceFile, int32_t line, int32_t code, const std::string& text) noexcept;
    void WriteErrorDetail(const std::string& sourceFile, int32_t line, int32_t code, const std::string& text,
                          const std::string& detail) noexcept;

private:
    static bool AssignPath(std::string& path, const std::string& name, const char* bareDefault) noexcept;
    static void AppendRecord(const std::string& path, const std::string& label1, const std::string& value1,
                             const std::string& label2, const std::string& value2, const std::string& label3,
                             const std::string& value3);

    std::string runtimeLogPath;
    std::string errorLogPath;
};
