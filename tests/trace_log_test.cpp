// TraceLog: the bytes of runtime and error records, the log paths, records to
// unreachable files, and the move to the backup file past the size limit.

#include "trace/trace_log.h"

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/log_records.h"
#include "trace/log_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

namespace fs = std::filesystem;
using test_files::CurrentDirectory;
using test_files::Escaped;
using test_files::ReadBytes;
using test_files::ScratchDir;
using test_files::SystemDriveRoot;
using test_files::TextModeBytes;
using test_files::WriteBytes;

constexpr std::uintmax_t kRotateSize = 20971520;
constexpr std::size_t kStampChars = 17;  // "MM-DD hh:mm:ss.cc"

// The body of the record WriteRuntime("A", "1", "B", "2", "C", "3") writes
// after its timestamp.
const char kAbcBody[] = "\nA:[1]\nB:[2]\nC:[3]\n";

void WriteAbc(TraceLog& log)
{
    log.WriteRuntime("A", "1", "B", "2", "C", "3");
}

std::string ErrorBody(const std::string& code, const std::string& context, const std::string& text)
{
    return "\nErrCode:[" + code + "]\nContext:[" + context + "]\nErrString:[" + text + "]\n";
}

// --- reading records back -----------------------------------------------------

bool InRange(const std::string& digits, int low, int high)
{
    const int value = std::atoi(digits.c_str());
    return value >= low && value <= high;
}

// "MM-DD hh:mm:ss.cc" with every field in its range.
bool IsTimestamp(const std::string& stamp)
{
    const std::string shape = "00-00 00:00:00.00";
    if (stamp.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digitWanted = shape[i] == '0';
        if (digitWanted != (std::isdigit(static_cast<unsigned char>(stamp[i])) != 0)) return false;
        if (!digitWanted && stamp[i] != shape[i]) return false;
    }
    return InRange(stamp.substr(0, 2), 1, 12) && InRange(stamp.substr(3, 2), 1, 31) &&
           InRange(stamp.substr(6, 2), 0, 23) && InRange(stamp.substr(9, 2), 0, 59) &&
           InRange(stamp.substr(12, 2), 0, 60);
}

// Checks that `bytes` is exactly the given records, in order: each a line
// break, the timestamp in brackets, then its body (given with "\n" line
// breaks). The timestamps found go to `stamps` when it is given.
::testing::AssertionResult HoldsRecords(const std::string& bytes, const std::vector<std::string>& bodies,
                                        std::vector<std::string>* stamps = nullptr)
{
    const std::string start = TextModeBytes("\n") + "[";
    std::size_t at = 0;
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        const std::string where = "record " + std::to_string(i + 1) + " at byte " + std::to_string(at);
        if (bytes.compare(at, start.size(), start) != 0)
            return ::testing::AssertionFailure()
                   << where << ": expected a line break and '[', found \"" << Escaped(bytes.substr(at, 20)) << "\"";
        at += start.size();
        const std::string stamp = bytes.substr(at, kStampChars);
        if (!IsTimestamp(stamp) || bytes.compare(at + kStampChars, 1, "]") != 0)
            return ::testing::AssertionFailure() << where << ": expected \"MM-DD hh:mm:ss.cc]\", found \""
                                                 << Escaped(bytes.substr(at, kStampChars + 1)) << "\"";
        if (stamps != nullptr) stamps->push_back(stamp);
        at += kStampChars + 1;
        const std::string body = TextModeBytes(bodies[i]);
        if (bytes.compare(at, body.size(), body) != 0)
            return ::testing::AssertionFailure() << where << ": after the timestamp expected\n  \"" << Escaped(body)
                                                 << "\"\nfound\n  \"" << Escaped(bytes.substr(at, body.size() + 20))
                                                 << "\"";
        at += body.size();
    }
    if (at != bytes.size())
        return ::testing::AssertionFailure() << bytes.size() - at << " bytes after the last expected record: \""
                                             << Escaped(bytes.substr(at, 60)) << "\"";
    return ::testing::AssertionSuccess();
}

// The last `count` bytes of a file.
std::string TailBytes(const fs::path& file, std::size_t count)
{
    std::ifstream in(file, std::ios::binary);
    in.seekg(-static_cast<std::streamoff>(count), std::ios::end);
    std::string bytes(count, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The bytes of a file from `offset` on.
std::string BytesFrom(const fs::path& file, std::uintmax_t offset)
{
    return TailBytes(file, static_cast<std::size_t>(fs::file_size(file) - offset));
}

// The first `count` bytes of a file.
std::string HeadBytes(const fs::path& file, std::size_t count)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Makes `file` exactly `size` bytes long without writing them all (the file
// is sparse where the file system allows).
void PreFill(const fs::path& file, std::uintmax_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.seekp(static_cast<std::streamoff>(size - 1));
    out.put('#');
}

class TraceLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log.SetRuntimeLogPath(runtimeFile);
        log.SetErrorLogPath(errorFile);
    }

    // The size of one record, measured by writing it to a file of its own.
    std::uintmax_t MeasuredRuntimeRecord()
    {
        const std::string scratch = dir.File("measure-runtime.log");
        TraceLog measure;
        measure.SetRuntimeLogPath(scratch);
        WriteAbc(measure);
        const std::uintmax_t size = fs::file_size(scratch);
        fs::remove(scratch);
        return size;
    }

    ScratchDir dir{test_files::TemporaryRootPath() + "trace_log_test.tmp"};
    const std::string runtimeFile = dir.File("runtime.log");
    const std::string errorFile = dir.File("error.log");
    TraceLog log;
};

// --- record format ------------------------------------------------------------

TEST_F(TraceLogTest, RuntimeRecordHoldsTheThreePairs)
{
    WriteAbc(log);
    EXPECT_TRUE(HoldsRecords(ReadBytes(runtimeFile), {kAbcBody}));
    EXPECT_FALSE(fs::exists(errorFile)) << "a runtime record touches only the runtime log";
}

TEST_F(TraceLogTest, TimestampIsTheLocalTimeOfWriting)
{
    const std::time_t before = std::time(nullptr);
    WriteAbc(log);
    const std::time_t after = std::time(nullptr);

    std::vector<std::string> stamps;
    ASSERT_TRUE(HoldsRecords(ReadBytes(runtimeFile), {kAbcBody}, &stamps));
    const std::string stamp = stamps.at(0);

    std::tm when = *std::localtime(&after);
    when.tm_mon = std::atoi(stamp.substr(0, 2).c_str()) - 1;
    when.tm_mday = std::atoi(stamp.substr(3, 2).c_str());
    when.tm_hour = std::atoi(stamp.substr(6, 2).c_str());
    when.tm_min = std::atoi(stamp.substr(9, 2).c_str());
    when.tm_sec = std::atoi(stamp.substr(12, 2).c_str());
    when.tm_isdst = -1;
    const std::time_t written = std::mktime(&when);
    // One second of slack either side for clocks of different resolution.
    char range[64];
    std::strftime(range, sizeof range, "%m-%d %H:%M:%S", std::localtime(&before));
    EXPECT_GE(written, before - 1) << "timestamp " << stamp << ", test started at " << range;
    std::strftime(range, sizeof range, "%m-%d %H:%M:%S", std::localtime(&after));
    EXPECT_LE(written, after + 1) << "timestamp " << stamp << ", test ended at " << range;
}

TEST_F(TraceLogTest, EntryRecordEndsWithTwoEmptyPairs)
{
    log.WriteRuntime(texts::kSetOverlayMode, "Play_SetOverlayMode", "", "", "", "");
    const std::string body = std::string("\n") + texts::kSetOverlayMode + ":[Play_SetOverlayMode]\n:[]\n:[]\n";
    EXPECT_TRUE(HoldsRecords(ReadBytes(runtimeFile), {body}));
}

TEST_F(TraceLogTest, TextsAreWrittenUnchanged)
{
    // Conversion characters and non-ASCII bytes pass through as they are.
    log.WriteRuntime("100%", "%d%s%n", "%%", "[x]", texts::kBadArgument, "\xff\x80");
    log.WriteError("%s.cpp", 1, 2, {"%n%s%d"});
    EXPECT_TRUE(HoldsRecords(ReadBytes(runtimeFile), {std::string("\n100%:[%d%s%n]\n%%:[[x]]\n") +
                                                      texts::kBadArgument + ":[\xff\x80]\n"}));
    EXPECT_TRUE(HoldsRecords(ReadBytes(errorFile),
                             {ErrorBody("2", "Source File: [%s.cpp], LINE: [1]", "%n%s%d")}));
}

TEST_F(TraceLogTest, RecordsAreAppendedAndSeparatedByAnEmptyLine)
{
    WriteAbc(log);
    log.WriteRuntime("D", "4", "E", "5", "F", "6");
    EXPECT_TRUE(HoldsRecords(ReadBytes(runtimeFile), {kAbcBody, "\nD:[4]\nE:[5]\nF:[6]\n"}));
}

TEST_F(TraceLogTest, ExistingContentIsKept)
{
    const std::string existing = "written before\n";
    WriteBytes(runtimeFile, existing);
    WriteAbc(log);
    const std::string bytes = ReadBytes(runtimeFile);
    ASSERT_EQ(existing, bytes.substr(0, existing.size()));
    EXPECT_TRUE(HoldsRecords(bytes.substr(existing.size()), {kAbcBody}));
}

// --- error records --------------------------------------------------------------

TEST_F(TraceLogTest, ErrorRecordNamesSourceLineCodeAndText)
{
    log.WriteError(".\\Src\\MyPelShxPlaySDK", 149, 0, {texts::kBadArgument});
    EXPECT_TRUE(HoldsRecords(ReadBytes(errorFile),
                             {ErrorBody("0", "Source File: [MyPelShxPlaySDK], LINE: [149]", texts::kBadArgument)}));
    EXPECT_FALSE(fs::exists(runtimeFile)) << "an error record touches only the error log";
}

TEST_F(TraceLogTest, SourceFileIsReducedToItsBaseName)
{
    for (const char* source : {".\\Src\\a", "./Src/a", ".\\Src/a", "a"}) {
        SCOPED_TRACE(std::string("source file \"") + source + "\"");
        fs::remove(errorFile);
        log.WriteError(source, 12, 5, {"t"});
        EXPECT_TRUE(HoldsRecords(ReadBytes(errorFile), {ErrorBody("5", "Source File: [a], LINE: [12]", "t")}));
    }
}

TEST_F(TraceLogTest, CodeAndLineAreSignedDecimals)
{
    log.WriteError("a", -1, -2001, {"t"});
    log.WriteError("a", INT32_MAX, INT32_MIN, {"t"});
    EXPECT_TRUE(HoldsRecords(ReadBytes(errorFile),
                             {ErrorBody("-2001", "Source File: [a], LINE: [-1]", "t"),
                              ErrorBody("-2147483648", "Source File: [a], LINE: [2147483647]", "t")}));
}

TEST_F(TraceLogTest, TextIsItsPiecesEachUpToItsFirstNul)
{
    using namespace std::string_view_literals;
    log.WriteError("a", 3, 4, {texts::kBufferOverflow, "\n", "", "SHX_PlayStrm_OpenStream()"});
    log.WriteError("a", 3, 4, {"cut\0off"sv, "\n", "next\0"sv});
    EXPECT_TRUE(HoldsRecords(ReadBytes(errorFile),
                             {ErrorBody("4", "Source File: [a], LINE: [3]",
                                        std::string(texts::kBufferOverflow) + "\nSHX_PlayStrm_OpenStream()"),
                              ErrorBody("4", "Source File: [a], LINE: [3]", "cut\nnext")}));
}

TEST_F(TraceLogTest, ContextIsCutTo255Characters)
{
    // "Source File: [" and "], LINE: [7]" take 26 characters around the name.
    struct Case {
        std::size_t nameLength;
        std::size_t contextLength;
    };
    for (const Case c : {Case{229, 255}, Case{230, 255}, Case{2000, 255}, Case{100, 126}}) {
        SCOPED_TRACE("base name of " + std::to_string(c.nameLength) + " characters");
        const std::string name(c.nameLength, 'n');
        const std::string fullContext = "Source File: [" + name + "], LINE: [7]";
        fs::remove(errorFile);
        log.WriteError(".\\Src\\" + name, 7, 1, {"t"});
        EXPECT_TRUE(HoldsRecords(ReadBytes(errorFile), {ErrorBody("1", fullContext.substr(0, c.contextLength), "t")}));
    }
}

// --- log paths --------------------------------------------------------------------

TEST(TraceLogPaths, DefaultsAreInTheTavoDirectoryOfTheSystemDrive)
{
    const TraceLog log;
    EXPECT_EQ(SystemDriveRoot() + "tavo/tavo_runtime.log", log.RuntimeLogPath());
    EXPECT_EQ(SystemDriveRoot() + "tavo/tavo_error.log", log.ErrorLogPath());
}

TEST(TraceLogPaths, ConstructionCreatesNothing)
{
    const fs::path defaultDirectory = SystemDriveRoot() + "tavo";
    const bool existed = fs::exists(defaultDirectory);
    const bool runtimeExisted = fs::exists(SystemDriveRoot() + "tavo/tavo_runtime.log");
    const bool errorExisted = fs::exists(SystemDriveRoot() + "tavo/tavo_error.log");
    {
        const TraceLog log;
    }
    EXPECT_EQ(existed, fs::exists(defaultDirectory)) << defaultDirectory.generic_string();
    EXPECT_EQ(runtimeExisted, fs::exists(SystemDriveRoot() + "tavo/tavo_runtime.log"));
    EXPECT_EQ(errorExisted, fs::exists(SystemDriveRoot() + "tavo/tavo_error.log"));
}

TEST(TraceLogPaths, DefaultLogIsWrittenOnceItsDirectoryExists)
{
    const fs::path directory = SystemDriveRoot() + "tavo";
    const fs::path file = SystemDriveRoot() + "tavo/tavo_runtime.log";
    const bool directoryExisted = fs::exists(directory);
    if (!directoryExisted) {
        TraceLog log;
        WriteAbc(log);
        EXPECT_FALSE(fs::exists(directory)) << "the logger never makes a directory";
        fs::create_directory(directory);
    }
    const bool fileExisted = fs::exists(file);
    const std::uintmax_t sizeBefore = fileExisted ? fs::file_size(file) : 0;

    TraceLog log;
    WriteAbc(log);
    ASSERT_TRUE(fs::exists(file)) << file.generic_string();
    const std::uintmax_t added = fs::file_size(file) - sizeBefore;
    EXPECT_TRUE(HoldsRecords(TailBytes(file, static_cast<std::size_t>(added)), {kAbcBody}));

    std::error_code ignored;
    if (!directoryExisted)
        fs::remove_all(directory, ignored);
    else if (!fileExisted)
        fs::remove(file, ignored);
}

TEST_F(TraceLogTest, EmptyNamesMeanBareFileNamesInTheCurrentDirectory)
{
    CurrentDirectory inScratch(dir.Path());
    log.SetRuntimeLogPath("");
    log.SetErrorLogPath("");
    EXPECT_EQ("tavo_runtime.log", log.RuntimeLogPath());
    EXPECT_EQ("tavo_error.log", log.ErrorLogPath());

    WriteAbc(log);
    log.WriteError("a", 1, 2, {"t"});
    EXPECT_TRUE(HoldsRecords(ReadBytes("tavo_runtime.log"), {kAbcBody}));
    EXPECT_TRUE(HoldsRecords(ReadBytes("tavo_error.log"),
                             {ErrorBody("2", "Source File: [a], LINE: [1]", "t")}));
}

TEST_F(TraceLogTest, RecordsToAMissingDirectoryAreDropped)
{
    const fs::path missing = dir.Path() / "missing";
    log.SetRuntimeLogPath(dir.File("missing/runtime.log"));
    log.SetErrorLogPath(dir.File("missing/error.log"));
    WriteAbc(log);
    log.WriteError("a", 1, 2, {"t"});
    log.WriteError("a", 1, 2, {"t", "\n", "d"});
    EXPECT_FALSE(fs::exists(missing)) << "the logger never makes a directory";

    // Once the directory is there the next record arrives; the dropped ones stay lost.
    fs::create_directory(missing);
    WriteAbc(log);
    log.WriteError("a", 1, 2, {"t"});
    EXPECT_TRUE(HoldsRecords(ReadBytes(missing / "runtime.log"), {kAbcBody}));
    EXPECT_TRUE(HoldsRecords(ReadBytes(missing / "error.log"), {ErrorBody("2", "Source File: [a], LINE: [1]", "t")}));
}

// --- this test program run again as a second process ------------------------

// This program started again, running only the tests that `filter` selects,
// with the variables added to its environment.
class SecondProcess {
public:
    SecondProcess(const std::string& filter, const std::vector<std::pair<std::string, std::string>>& environment)
    {
        std::string program = ProgramFile();
        std::string option = "--gtest_filter=" + filter;
        std::string brief = "--gtest_brief=1";
#ifdef _WIN32
        std::string command = "\"" + program + "\" " + option + " " + brief;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        for (const auto& [name, value] : environment) SetEnvironmentVariableA(name.c_str(), value.c_str());
        started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        for (const auto& variable : environment) SetEnvironmentVariableA(variable.first.c_str(), nullptr);
#else
        std::vector<std::string> variables;
        for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        for (char** inherited = environ; *inherited != nullptr; ++inherited) envp.push_back(*inherited);
        envp.push_back(nullptr);
        char* argv[] = {program.data(), option.data(), brief.data(), nullptr};
        started = posix_spawn(&process, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0;
#endif
    }
    ~SecondProcess() { Wait(); }
    SecondProcess(const SecondProcess&) = delete;
    SecondProcess& operator=(const SecondProcess&) = delete;

    // Its exit status once it has ended; -1 when it never started or could not be waited for.
    int Wait()
    {
        if (!started) return exitStatus;
        started = false;
#ifdef _WIN32
        DWORD status = 0;
        if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.hProcess, &status))
            exitStatus = static_cast<int>(status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
#else
        int status = 0;
        if (waitpid(process, &status, 0) == process && WIFEXITED(status)) exitStatus = WEXITSTATUS(status);
#endif
        return exitStatus;
    }

private:
    static std::string ProgramFile()
    {
#ifdef _WIN32
        char program[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, program, sizeof program);
        return program;
#else
        return fs::read_symlink("/proc/self/exe").string();
#endif
    }

    bool started = false;
    int exitStatus = -1;
#ifdef _WIN32
    PROCESS_INFORMATION process{};
#else
    pid_t process = 0;
#endif
};

// True once the file exists; false after half a minute without it.
bool WaitForFile(const std::string& file)
{
    for (int waited = 0; waited < 30000; ++waited) {
        if (fs::exists(file)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// --- rotation ----------------------------------------------------------------------

TEST_F(TraceLogTest, FileOfExactlyTheLimitStays)
{
    const std::uintmax_t record = MeasuredRuntimeRecord();
    PreFill(runtimeFile, kRotateSize - record);
    WriteAbc(log);
    ASSERT_TRUE(fs::exists(runtimeFile));
    EXPECT_EQ(kRotateSize, fs::file_size(runtimeFile));
    EXPECT_FALSE(fs::exists(runtimeFile + ".bak"));
    EXPECT_TRUE(HoldsRecords(TailBytes(runtimeFile, static_cast<std::size_t>(record)), {kAbcBody}));
}

TEST_F(TraceLogTest, FileOverTheLimitIsMovedAsideAndANewOneStarted)
{
    const std::uintmax_t record = MeasuredRuntimeRecord();
    PreFill(runtimeFile, kRotateSize - record + 1);
    WriteAbc(log);
    EXPECT_FALSE(fs::exists(runtimeFile)) << "the live file is moved";
    ASSERT_TRUE(fs::exists(runtimeFile + ".bak"));
    EXPECT_EQ(kRotateSize + 1, fs::file_size(runtimeFile + ".bak"));
    EXPECT_TRUE(HoldsRecords(TailBytes(runtimeFile + ".bak", static_cast<std::size_t>(record)), {kAbcBody}))
        << "the record that crossed the limit is in the backup";

    log.WriteRuntime("D", "4", "E", "5", "F", "6");
    const std::string fresh = ReadBytes(runtimeFile);
    EXPECT_EQ(TextModeBytes("\n"), fresh.substr(0, TextModeBytes("\n").size()))
        << "the new file begins with an empty line";
    EXPECT_TRUE(HoldsRecords(fresh, {"\nD:[4]\nE:[5]\nF:[6]\n"}));
    EXPECT_EQ(kRotateSize + 1, fs::file_size(runtimeFile + ".bak")) << "the backup is left alone";
}

TEST_F(TraceLogTest, ExistingBackupIsReplaced)
{
    const std::string previous = "previous generation";
    WriteBytes(runtimeFile + ".bak", previous);
    const std::uintmax_t record = MeasuredRuntimeRecord();
    PreFill(runtimeFile, kRotateSize - record + 1);
    WriteAbc(log);
    EXPECT_FALSE(fs::exists(runtimeFile));
    EXPECT_EQ(kRotateSize + 1, fs::file_size(runtimeFile + ".bak"));
    EXPECT_NE(previous, HeadBytes(runtimeFile + ".bak", previous.size()));
}

TEST_F(TraceLogTest, ErrorLogIsMovedAsideAlike)
{
    const std::string scratch = dir.File("measure-error.log");
    TraceLog measure;
    measure.SetErrorLogPath(scratch);
    measure.WriteError("a", 1, 2, {"t"});
    const std::uintmax_t record = fs::file_size(scratch);

    PreFill(errorFile, kRotateSize - record);
    log.WriteError("a", 1, 2, {"t"});
    EXPECT_EQ(kRotateSize, fs::file_size(errorFile)) << "exactly the limit stays";
    EXPECT_FALSE(fs::exists(errorFile + ".bak"));

    log.WriteError("a", 1, 2, {"t"});
    EXPECT_FALSE(fs::exists(errorFile)) << "past the limit it is moved";
    ASSERT_TRUE(fs::exists(errorFile + ".bak"));
    EXPECT_EQ(kRotateSize + record, fs::file_size(errorFile + ".bak"));
}

TEST_F(TraceLogTest, FailedMoveIsTriedAgainAfterTheNextRecord)
{
    // A directory in the way of the backup name makes the move fail.
    const fs::path blocker = runtimeFile + ".bak";
    fs::create_directory(blocker);
    WriteBytes(blocker / "inside", "x");

    const std::uintmax_t record = MeasuredRuntimeRecord();
    PreFill(runtimeFile, kRotateSize - record + 1);
    WriteAbc(log);
    ASSERT_TRUE(fs::exists(runtimeFile)) << "the move failed, the live file stays";
    EXPECT_EQ(kRotateSize + 1, fs::file_size(runtimeFile));

    WriteAbc(log);
    ASSERT_TRUE(fs::exists(runtimeFile)) << "still in the way";
    EXPECT_EQ(kRotateSize + 1 + record, fs::file_size(runtimeFile));

    fs::remove_all(blocker);
    WriteAbc(log);
    EXPECT_FALSE(fs::exists(runtimeFile)) << "the next record's move succeeds";
    ASSERT_TRUE(fs::is_regular_file(blocker));
    EXPECT_EQ(kRotateSize + 1 + 2 * record, fs::file_size(blocker));
}

// A log far past 2 GiB, as a backup held open for long leaves it: its size
// is read in full, so it is moved aside at the next record.
TEST_F(TraceLogTest, LogPast2GiBIsMovedAsideAtTheNextRecord)
{
    const std::uintmax_t huge = 2148000000;
    WriteBytes(errorFile, "");
    fs::resize_file(errorFile, huge);  // sparse where the file system allows
    log.WriteError("a", 1, 2, {"t"});
    EXPECT_FALSE(fs::exists(errorFile)) << "the live log is moved aside";
    ASSERT_TRUE(fs::exists(errorFile + ".bak"));
    EXPECT_LT(huge, fs::file_size(errorFile + ".bak"));
    fs::remove(errorFile + ".bak");
}

// Run as a second process by the test below: waits for the file "go" in the
// directory PELSHX_WRITER_DIR, then appends PELSHX_WRITER_RECORDS error
// records to its error.log, numbered from 0 in their codes, with
// PELSHX_WRITER_ID as their line.
TEST(LogWriter, AppendsItsRecordsOnceTold)
{
    const char* directory = std::getenv("PELSHX_WRITER_DIR");
    if (directory == nullptr) GTEST_SKIP() << "only run as a second process of TwoProcessesOnOneLog...";
    const std::string slashed = std::string(directory) + "/";
    const int id = std::atoi(std::getenv("PELSHX_WRITER_ID"));
    const int records = std::atoi(std::getenv("PELSHX_WRITER_RECORDS"));
    TraceLog writer;
    writer.SetErrorLogPath(slashed + "error.log");
    WriteBytes(slashed + "ready" + std::to_string(id), "");
    ASSERT_TRUE(WaitForFile(slashed + "go"));
    for (int i = 0; i < records; ++i) writer.WriteError("writer", id, i, {"two processes, one log"});
}

// Two hosts on one trace directory, their error log starting just short of
// the limit: each record arrives whole and once, in the live log or in the
// backup, and the log is moved aside exactly once, however the two
// processes' appends and moves interleave. Fewer rounds under Wine, where a
// record takes far longer.
TEST_F(TraceLogTest, TwoProcessesOnOneLogLoseAndTearNothingAcrossARotation)
{
#ifdef _WIN32
    const int rounds = 3, perWriter = 300;
#else
    const int rounds = 10, perWriter = 2000;
#endif
    TraceLog measure;
    measure.SetErrorLogPath(dir.File("measure.log"));
    measure.WriteError("writer", 1, perWriter, {"two processes, one log"});
    const std::uintmax_t record = fs::file_size(dir.File("measure.log"));
    // Moved aside about halfway through.
    const std::uintmax_t prefill = kRotateSize - perWriter * record;
    for (int round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (const char* name : {"error.log", "error.log.bak", "ready1", "ready2", "go"}) fs::remove(dir.File(name));
        PreFill(errorFile, prefill);
        const auto writer = [&](int id) {
            return std::vector<std::pair<std::string, std::string>>{{"PELSHX_WRITER_DIR", dir.Path().string()},
                                                                     {"PELSHX_WRITER_ID", std::to_string(id)},
                                                                     {"PELSHX_WRITER_RECORDS", std::to_string(perWriter)}};
        };
        SecondProcess first("LogWriter.*", writer(1));
        SecondProcess second("LogWriter.*", writer(2));
        ASSERT_TRUE(WaitForFile(dir.File("ready1")) && WaitForFile(dir.File("ready2")));
        WriteBytes(dir.File("go"), "");
        ASSERT_EQ(0, first.Wait());
        ASSERT_EQ(0, second.Wait());

        ASSERT_GE(fs::file_size(errorFile + ".bak"), prefill) << "the prefilled log, moved aside once";
        const std::string backup = BytesFrom(errorFile + ".bak", prefill - 1);
        ASSERT_EQ('#', backup[0]) << "the prefilled log, moved aside once";
        std::string text = backup.substr(1) + ReadBytes(errorFile);
        if (TextModeBytes("\n") != "\n")
            text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        std::vector<ErrorRecord> records;
        std::string fault;
        ASSERT_TRUE(ReadErrorRecords(text, records, fault)) << fault;
        std::vector<int> count(2 * perWriter, 0);
        for (const ErrorRecord& r : records)
            if ((r.line == 1 || r.line == 2) && r.code >= 0 && r.code < perWriter) ++count[(r.line - 1) * perWriter + r.code];
        EXPECT_EQ(static_cast<std::size_t>(2 * perWriter), records.size());
        EXPECT_EQ(std::vector<int>(2 * perWriter, 1), count) << "every record exactly once";
    }
}

// Run as a second process by the tests below: holds the file named in
// PELSHX_HOLD_FILE as a program that shares it with no one, says so with a
// "<file>.held" file and lets go once "<file>.release" exists.
TEST(FileHolder, HoldsTheFileUntilReleased)
{
    const char* file = std::getenv("PELSHX_HOLD_FILE");
    if (file == nullptr) GTEST_SKIP() << "only run as a second process of ...HeldOpen... tests";
    const test_files::HeldFile held(file);
    ASSERT_TRUE(held.Held());
    WriteBytes(std::string(file) + ".held", "");
    ASSERT_TRUE(WaitForFile(std::string(file) + ".release"));
}

// Another program holds the live log for a few seconds while records are
// written: they wait, and arrive in order, whole and once, before the next
// record written after it has let go.
TEST_F(TraceLogTest, LiveLogHeldOpenByAnotherProgramLosesNoRecord)
{
    constexpr int kWhileHeld = 500;
    log.WriteError("a", 1, -1, {"before"});
    const std::uintmax_t sizeBefore = fs::file_size(errorFile);
    SecondProcess holder("FileHolder.*", {{"PELSHX_HOLD_FILE", errorFile}});
    ASSERT_TRUE(WaitForFile(errorFile + ".held"));
    for (int i = 0; i < kWhileHeld; ++i) {
        log.WriteError("a", 1, i, {"while held"});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(sizeBefore, fs::file_size(errorFile)) << "nothing was written while the file was held";
    WriteBytes(errorFile + ".release", "");
    ASSERT_EQ(0, holder.Wait());
    log.WriteError("a", 1, kWhileHeld, {"after"});

    std::vector<ErrorRecord> records;
    std::string fault;
    ASSERT_TRUE(ReadErrorRecords(test_files::ReadText(errorFile), records, fault)) << fault;
    std::vector<int32_t> codes;
    for (const ErrorRecord& r : records) codes.push_back(r.code);
    std::vector<int32_t> expected(kWhileHeld + 2);
    for (int i = 0; i < kWhileHeld + 2; ++i) expected[static_cast<std::size_t>(i)] = i - 1;
    EXPECT_EQ(expected, codes) << "every record once, in the order of writing";
}

// Records beyond what the backlog holds are counted: the kept ones are written
// first, then one record telling how many were lost and since when, then the
// record that found the file free again (runtime log), or nothing more when
// the logger is released (error log).
TEST_F(TraceLogTest, RecordsBeyondTheBacklogAreCountedAndToldOf)
{
    constexpr int kLost = 5;
    const std::string bulk(3000, 'b');
    const auto writeBoth = [&](TraceLog& to) {
        to.WriteRuntime("A", bulk, "", "", "", "");
        to.WriteError("a", 1, 2, {bulk});
    };
    {
        TraceLog measure;
        measure.SetRuntimeLogPath(runtimeFile);
        measure.SetErrorLogPath(errorFile);
        writeBoth(measure);
    }
    const auto kept = [](const std::string& file) {
        return static_cast<int>(LogBacklog::CAPACITY / fs::file_size(file));
    };
    const int runtimeKept = kept(runtimeFile);
    const int errorKept = kept(errorFile);
    WriteBytes(runtimeFile, "");
    WriteBytes(errorFile, "");
    {
        TraceLog held;
        held.SetRuntimeLogPath(runtimeFile);
        held.SetErrorLogPath(errorFile);
        {
            const test_files::HeldFile holdRuntime(runtimeFile);
            const test_files::HeldFile holdError(errorFile);
            ASSERT_TRUE(holdRuntime.Held() && holdError.Held());
            for (int i = 0; i < std::max(runtimeKept, errorKept) + kLost; ++i) writeBoth(held);
        }
        held.WriteRuntime("D", "after", "", "", "", "");
    }

    const auto toldOfLost = [&](const std::string& detail, int lost) {
        const std::string count = std::to_string(lost) + ", ";
        return detail.compare(0, count.size(), count) == 0 && IsTimestamp(detail.substr(count.size()));
    };
    std::string fault;
    std::vector<EntryRecord> entries;
    ASSERT_TRUE(ReadEntryRecords(test_files::ReadText(runtimeFile), entries, fault)) << fault;
    ASSERT_EQ(static_cast<std::size_t>(runtimeKept + 2), entries.size());
    EXPECT_TRUE(std::all_of(entries.begin(), entries.end() - 2,
                            [&](const EntryRecord& r) { return r.description == "A" && r.operation == bulk; }));
    EXPECT_EQ(texts::kRecordsLostWhileHeld, entries[runtimeKept].description);
    EXPECT_TRUE(toldOfLost(entries[runtimeKept].operation, std::max(runtimeKept, errorKept) + kLost - runtimeKept))
        << entries[runtimeKept].operation;
    EXPECT_EQ("after", entries.back().operation);

    std::vector<ErrorRecord> errors;
    ASSERT_TRUE(ReadErrorRecords(test_files::ReadText(errorFile), errors, fault)) << fault;
    ASSERT_EQ(static_cast<std::size_t>(errorKept + 1), errors.size());
    EXPECT_TRUE(std::all_of(errors.begin(), errors.end() - 1,
                            [&](const ErrorRecord& r) { return r.code == 2 && r.text == bulk; }));
    const ErrorRecord& told = errors.back();
    EXPECT_EQ(0, told.code);
    EXPECT_EQ("TraceLog", told.source);
    const std::string heading = std::string(texts::kRecordsLostWhileHeld) + "\n";
    EXPECT_EQ(heading, told.text.substr(0, heading.size()));
    EXPECT_TRUE(toldOfLost(told.text.substr(heading.size()), std::max(runtimeKept, errorKept) + kLost - errorKept))
        << told.text;
}

#ifdef _WIN32
// Another program holding the backup open without sharing: the move fails,
// the live log keeps growing, and rotation resumes once the backup is let go.
TEST_F(TraceLogTest, BackupHeldOpenDelaysRotationWithoutLosingRecords)
{
    const std::string backup = runtimeFile + ".bak";
    WriteBytes(backup, "older generation");
    const std::uintmax_t record = MeasuredRuntimeRecord();
    PreFill(runtimeFile, kRotateSize - record + 1);
    SecondProcess holder("FileHolder.*", {{"PELSHX_HOLD_FILE", backup}});
    ASSERT_TRUE(WaitForFile(backup + ".held"));
    WriteAbc(log);
    WriteAbc(log);
    EXPECT_EQ(kRotateSize + 1 + record, fs::file_size(runtimeFile)) << "the live log keeps growing";
    WriteBytes(backup + ".release", "");
    EXPECT_EQ(0, holder.Wait());

    WriteAbc(log);
    EXPECT_FALSE(fs::exists(runtimeFile)) << "moved once the backup was let go";
    EXPECT_EQ(kRotateSize + 1 + 2 * record, fs::file_size(backup)) << "every record is in the new backup";
}
#else
// A full disk, made by a file-size limit: the record that does not fit is
// lost, no file stays open, and records arrive again once there is room.
TEST_F(TraceLogTest, FullDiskLosesRecordsUntilThereIsRoomAgain)
{
    WriteAbc(log);
    const std::uintmax_t size = fs::file_size(runtimeFile);
    const std::ptrdiff_t openBefore = test_files::OpenFiles();
    rlimit previous;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &previous));
    rlimit full = previous;
    full.rlim_cur = static_cast<rlim_t>(size);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &full));
    WriteAbc(log);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);

    EXPECT_EQ(size, fs::file_size(runtimeFile));
    EXPECT_EQ(openBefore, test_files::OpenFiles());
    WriteAbc(log);
    EXPECT_TRUE(HoldsRecords(ReadBytes(runtimeFile), {kAbcBody, kAbcBody}));
}

// A pipe without a reader in the log's place: the record is dropped at once;
// the host does not wait, for good, for a reader.
TEST_F(TraceLogTest, PipeWithoutReaderInPlaceOfTheLogDropsTheRecord)
{
    ASSERT_EQ(0, mkfifo(runtimeFile.c_str(), 0666));
    std::promise<void> written;
    std::future<void> done = written.get_future();
    std::thread writer([&] {
        WriteAbc(log);
        written.set_value();
    });
    const bool returned = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!returned) {  // a reader that comes and goes lets the stuck writer on
        const int reader = open(runtimeFile.c_str(), O_RDONLY | O_NONBLOCK);
        done.wait();
        close(reader);
    }
    writer.join();
    EXPECT_TRUE(returned) << "the record waited for a reader";
}
#endif

// --- the log's lock ------------------------------------------------------------

// Takes the lock of a log in a thread of its own (a mutex belongs to the
// thread that takes it) and holds it until the end of the scope, as a hung
// host would.
class StuckLock {
public:
    explicit StuckLock(const std::string& path)
        : holder([this, path] {
              platform::FileLock lock(path);
              std::unique_lock<std::mutex> guard(mutex);
              taken = lock.Take(0) ? 1 : 0;
              changed.notify_all();
              changed.wait(guard, [this] { return released; });
              if (taken == 1) lock.Release();
          })
    {
        std::unique_lock<std::mutex> guard(mutex);
        changed.wait(guard, [this] { return taken >= 0; });
    }
    ~StuckLock()
    {
        {
            const std::lock_guard<std::mutex> guard(mutex);
            released = true;
        }
        changed.notify_all();
        holder.join();
    }
    bool Taken() const { return taken == 1; }

private:
    std::mutex mutex;
    std::condition_variable changed;
    int taken = -1;
    bool released = false;
    std::thread holder;
};

// With the lock held by a hung process, the first record waits for it (an
// append on Windows, the move aside natively) and goes ahead without it; the
// records after it, rotations included, do not wait again within the quiet
// time. Nothing is lost.
TEST_F(TraceLogTest, StuckLockCostsOneWaitNotOnePerRecord)
{
    using Clock = std::chrono::steady_clock;
    const unsigned firstWait =
        platform::kAppendsTakeTheLock ? TraceLog::APPEND_LOCK_WAIT_MS : TraceLog::MOVE_LOCK_WAIT_MS;
    const std::uintmax_t record = MeasuredRuntimeRecord();
    const StuckLock stuck(runtimeFile);
    ASSERT_TRUE(stuck.Taken());

    PreFill(runtimeFile, kRotateSize);
    Clock::time_point start = Clock::now();
    WriteAbc(log);
    const auto first = Clock::now() - start;
    EXPECT_GE(first, std::chrono::milliseconds(firstWait * 9 / 10)) << "the first record waits for the lock";
    EXPECT_LT(first, std::chrono::milliseconds(firstWait + 2000)) << "and no longer";
    EXPECT_EQ(kRotateSize + record, fs::file_size(runtimeFile + ".bak")) << "moved aside without the lock";

    constexpr int kMore = 20;
    start = Clock::now();
    PreFill(runtimeFile, kRotateSize);
    for (int i = 0; i < kMore; ++i) WriteAbc(log);
    const auto rest = Clock::now() - start;
    const unsigned waitsWithoutQuiet = platform::kAppendsTakeTheLock ? kMore : 1;
    EXPECT_LT(rest, std::chrono::milliseconds(waitsWithoutQuiet * firstWait / 2))
        << kMore << " records, one of them moving the log aside";
    EXPECT_EQ(kRotateSize + record, fs::file_size(runtimeFile + ".bak"));
    EXPECT_EQ((kMore - 1) * record, fs::file_size(runtimeFile));
}

#ifdef _WIN32
// A mutex with the given security, as another account's host may have made
// the log's lock; null when it cannot be made.
HANDLE MutexMadeElsewhere(const std::string& name, const char* security)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(security, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE mutex = CreateMutexA(&attributes, FALSE, name.c_str());
    LocalFree(descriptor);
    return mutex;
}

// Wine shows no second account; what can be seen is the lock's descriptor and
// how a lock that another account made is opened.
TEST_F(TraceLogTest, LockIsSharedByEveryAccountThatSignsIn)
{
    // A log of its own: the fixture's logger keeps the lock of its logs open.
    const std::string file = dir.File("shared.log");
    const std::string name = platform::FileLock(file).Name();
    {
        SCOPED_TRACE("made here: authenticated users may wait for it and release it");
        const platform::FileLock lock(file);
        const HANDLE mutex = OpenMutexA(READ_CONTROL, FALSE, name.c_str());
        ASSERT_NE(nullptr, mutex) << GetLastError();
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                 &dacl, nullptr, &descriptor));
        CloseHandle(mutex);
        ASSERT_NE(nullptr, dacl);
        char authenticatedUsers[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof authenticatedUsers;
        ASSERT_TRUE(CreateWellKnownSid(WinAuthenticatedUserSid, nullptr, authenticatedUsers, &sidSize));
        DWORD granted = 0;
        for (WORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                EqualSid(&ace->SidStart, authenticatedUsers))
                granted |= ace->Mask;
        }
        LocalFree(descriptor);
        EXPECT_EQ(static_cast<DWORD>(SYNCHRONIZE | MUTEX_MODIFY_STATE), granted);
    }
    {
        SCOPED_TRACE("made elsewhere with no more than those rights for this account: opened with them");
        const HANDLE elsewhere = MutexMadeElsewhere(name, "D:(A;;0x00100001;;;WD)");
        ASSERT_NE(nullptr, elsewhere);
        TraceLog writer;
        writer.SetErrorLogPath(file);
        writer.WriteError("a", 1, 2, {"t"});
        CloseHandle(elsewhere);
        EXPECT_TRUE(HoldsRecords(ReadBytes(file), {ErrorBody("2", "Source File: [a], LINE: [1]", "t")}));
    }
    {
        SCOPED_TRACE("made elsewhere with no rights for this account: written without it, and told once");
        fs::remove(file);
        const HANDLE elsewhere = MutexMadeElsewhere(name, "D:");
        ASSERT_NE(nullptr, elsewhere);
        TraceLog writer;
        writer.SetErrorLogPath(file);
        writer.WriteError("a", 1, 2, {"t"});
        writer.WriteError("a", 1, 3, {"t"});
        CloseHandle(elsewhere);
        std::vector<ErrorRecord> records;
        std::string fault;
        ASSERT_TRUE(ReadErrorRecords(test_files::ReadText(file), records, fault)) << fault;
        ASSERT_EQ(3u, records.size());
        EXPECT_EQ(ERROR_ACCESS_DENIED, records[0].code);
        EXPECT_EQ("TraceLog", records[0].source);
        EXPECT_EQ(std::string(texts::kLogLockUnavailable) + "\n" + name, records[0].text);
        EXPECT_EQ(2, records[1].code);
        EXPECT_EQ(3, records[2].code);
    }
}
#endif

}  // namespace
