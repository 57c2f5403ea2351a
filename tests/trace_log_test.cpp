// TraceLog: the bytes of runtime and error records, the log paths, records to
// unreachable files, and the move to the backup file past the size limit.

#include "trace/trace_log.h"

#include "support/file_helpers.h"
#include "trace/log_texts.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
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

#ifdef _WIN32
// Run in a second process by the test below: holds the file named in
// PELSHX_HOLD_FILE open without sharing, says so with a "<file>.held" file and
// lets go once "<file>.release" exists.
TEST(BackupHolder, HoldsTheFileWithoutSharingUntilReleased)
{
    const char* file = std::getenv("PELSHX_HOLD_FILE");
    if (file == nullptr) GTEST_SKIP() << "only run as the second process of BackupHeldOpenDelaysRotation...";
    const HANDLE held = CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    WriteBytes(std::string(file) + ".held", "");
    for (int waited = 0; !fs::exists(std::string(file) + ".release") && waited < 3000; ++waited) Sleep(10);
    CloseHandle(held);
}

// Starts this test program again to run the holder above on `file`; true once
// the file is held.
bool HoldInSecondProcess(const std::string& file, PROCESS_INFORMATION& holder)
{
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string command = std::string("\"") + program + "\" --gtest_filter=BackupHolder.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    SetEnvironmentVariableA("PELSHX_HOLD_FILE", file.c_str());
    const BOOL started =
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder);
    SetEnvironmentVariableA("PELSHX_HOLD_FILE", nullptr);
    if (!started) return false;
    for (int waited = 0; waited < 3000; ++waited, Sleep(10))
        if (fs::exists(file + ".held")) return true;
    return false;
}

// Another program holding the backup open without sharing: the move fails,
// the live log keeps growing, and rotation resumes once the backup is let go.
TEST_F(TraceLogTest, BackupHeldOpenDelaysRotationWithoutLosingRecords)
{
    const std::string backup = runtimeFile + ".bak";
    WriteBytes(backup, "older generation");
    const std::uintmax_t record = MeasuredRuntimeRecord();
    PreFill(runtimeFile, kRotateSize - record + 1);
    PROCESS_INFORMATION holder{};
    ASSERT_TRUE(HoldInSecondProcess(backup, holder));
    WriteAbc(log);
    WriteAbc(log);
    EXPECT_EQ(kRotateSize + 1 + record, fs::file_size(runtimeFile)) << "the live log keeps growing";
    WriteBytes(backup + ".release", "");
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(holder.hProcess, 30000));
    CloseHandle(holder.hThread);
    CloseHandle(holder.hProcess);

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
#endif

}  // namespace
