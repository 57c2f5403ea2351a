// The host program run as a person runs it, on the real plug-in and the
// stand-in vendor library in live mode: what it prints, what the vendor
// library received (the stand-in's journal file), the picture it captured and
// what the plug-in logged.

#include "config/paths.h"
#include "run_program.h"
#include "support/file_helpers.h"
#include "support/temporary_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

constexpr uint32_t kChunkBytes = 4096;
constexpr int kChunks = 12;
// Step mode asked for after 4 chunks holds one input call back.
constexpr int kInputCalls = kChunks + 1;

// GBK, as the plug-in writes its logs.
const std::string kGbkBufferOverflow = "\xbb\xba\xb3\xe5\xc7\xf8\xd2\xe7\xb3\xf6";  // 缓冲区溢出
const std::string kGbkInputData = "\xca\xe4\xc8\xeb\xca\xfd\xbe\xdd\xc1\xf7";       // 输入数据流

std::string DriveRoot()
{
    std::string root;
    EXPECT_EQ(0, GetSystemDriveRoot(root));
    return root;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

int Count(const std::string& text, const std::string& piece)
{
    int count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++count;
    return count;
}

// The lines of the host's output that start with `prefix`, without line ends.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
}

// A number that the summary prints after `label`.
long long Figure(const std::string& output, const std::string& label)
{
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(label + " +(-?[0-9]+)"))) return -1;
    return std::stoll(match[1]);
}

std::set<std::string> Entries(const std::string& directory)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

uint32_t LittleEndian(const std::string& bytes, std::size_t offset, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
    return value;
}

// A work directory on the system drive, a stream to play and the plug-in's
// configuration; the configuration found before is put back afterwards.
class SystemDrive {
public:
    SystemDrive()
        : root(DriveRoot()), work(root + "pelshx-host-test/"), configFile(root + "tavo/cfg/TAVO.cfg"),
          previousConfig(ReadFile(configFile))
    {
        CreateDirectoryTree(work + "trace/");
        CreateDirectoryTree(root + "tavo/cfg/");
        WriteFile(configFile, "[GLOBAL]\n[TRACE_PATH] [" + work + "trace]\n[DEBUG_LEVEL] [2]\n");
        std::string stream(kChunks * kChunkBytes, '\0');
        for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<char>(i * 7);
        WriteFile(Stream(), stream);
    }

    ~SystemDrive()
    {
        if (previousConfig.empty())
            std::remove(configFile.c_str());
        else
            WriteFile(configFile, previousConfig);
    }

    void WriteConfig(const std::string& content) const { WriteFile(configFile, content); }
    void RemoveConfig() const { std::remove(configFile.c_str()); }
    std::string Work() const { return work; }
    std::string TraceDirectory() const { return work + "trace"; }
    std::string Stream() const { return work + "stream.bin"; }
    std::string Picture() const { return work + "picture.bmp"; }
    std::string Journal() const { return work + "journal.txt"; }
    std::string RuntimeLog() const { return work + "trace/PelShx_Player_Runtime.log"; }
    std::string ErrorLog() const { return work + "trace/PelShx_Player_Error.log"; }

private:
    std::string root;
    std::string work;
    std::string configFile;
    std::string previousConfig;
};

// One replay with everything the host can do, shared by the checks below.
class HostPlaysAStream : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        drive = new SystemDrive();
        std::remove(drive->RuntimeLog().c_str());
        std::remove(drive->ErrorLog().c_str());
        std::remove(drive->Journal().c_str());  // the stand-in appends to it
        // A buffer of two chunks that drains one chunk in 100 ms, fed as fast
        // as the plug-in returns: the vendor library must refuse data.
        run = RunProgram("pelshx_host",
                         {"--port=5", "--chunk=" + std::to_string(kChunkBytes), "--rate=0", "--pause=2:100",
                          "--step=4:2", "--volume=30", "--capture=" + drive->Picture(), "--read-back", "--each-input",
                          drive->Stream()},
                         {{"SHXSTRM_SIMULATE", "8192,40960"}, {"SHXSTRM_JOURNAL", drive->Journal()}});
        journal = std::regex_replace(ReadFile(drive->Journal()), std::regex(" *\\+[0-9.]+ ms  "), "");
    }

    static void TearDownTestSuite()
    {
        delete drive;
        drive = nullptr;
    }

    // The input calls the vendor library refused.
    static long long Refusals()
    {
        long long refusals = 0;
        for (const std::string& input : Journal("SHX_PlayStrm_InputData(")) refusals += Count(input, "-> -2");
        return refusals;
    }
    static std::vector<std::string> Journal(const std::string& function) { return LinesStartingWith(journal, function); }

    static SystemDrive* drive;
    static ProgramRun run;
    static std::string journal;  // the stand-in's, without the times
};

SystemDrive* HostPlaysAStream::drive = nullptr;
ProgramRun HostPlaysAStream::run;
std::string HostPlaysAStream::journal;

TEST_F(HostPlaysAStream, SumsUpWhatItFed)
{
    ASSERT_EQ(0, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("chunks fed          12 of 12, 49152 of 49152 bytes")) << run.output;
    EXPECT_EQ(kInputCalls, Figure(run.output, "Play_InputData"));
    EXPECT_NE(std::string::npos, run.output.find("1 held back in step mode"));
    EXPECT_EQ(1, Figure(run.output, "host pauses"));
    EXPECT_NE(std::string::npos, run.output.find("steps               2 granted of 2 asked for"));
    EXPECT_EQ(0, Figure(run.output, "dropped by plug-in"));
    EXPECT_EQ(0, Figure(run.output, "unexpected results"));
}

TEST_F(HostPlaysAStream, FlagsSlowCallsWhateverMadeThemSlow)
{
    // A refusal costs the caller a retry pause of 100 ms: every input that the
    // vendor library refused before it took the data is a slow call.
    int inputsRefusedFirst = 0;
    bool afterRefusal = false;
    for (const std::string& input : Journal("SHX_PlayStrm_InputData(")) {
        inputsRefusedFirst += afterRefusal && Count(input, "-> 0") == 1;
        afterRefusal = Count(input, "-> -2") == 1;
    }
    int slowInputs = 0;
    for (const std::string& line : LinesStartingWith(run.output, "slot  6  Play_InputData"))
        slowInputs += Count(line, "<- slow");
    EXPECT_GT(inputsRefusedFirst, 0) << journal;
    EXPECT_GE(slowInputs, inputsRefusedFirst) << run.output;
    EXPECT_EQ(Count(run.output, "<- slow"), Figure(run.output, "slow calls"));
}

TEST_F(HostPlaysAStream, ReportsEveryCallInTheOrderAHostMakesThem)
{
    std::vector<std::string> slots;
    for (const std::string& line : LinesStartingWith(run.output, "slot ")) slots.push_back(line.substr(5, 2));
    const std::vector<std::string> expected = {
        " 0", " 4", " 5", "10", "11",        // initialise, bind, open, volume set and read back
        " 6", " 6", " 8", " 8",              // two chunks, pause and play
        " 6", " 6", " 8", " 6",              // two chunks, step mode holds the next one back
        " 8", " 6", " 8", " 6", " 8",        // two steps of one chunk each, play
        " 6", " 6", " 6", " 6", " 6", " 6",  // the last six chunks
        "12", " 9", "11", "15", " 3", "17", "19", "21", "23", "14", "13",  // capture, read back
        " 7", " 1"};                                                       // close, uninitialise
    EXPECT_EQ(expected, slots) << run.output;

    EXPECT_EQ(1u, LinesStartingWith(run.output, "export   CreateSinglePlayerDll()").size());
    EXPECT_EQ(1u, LinesStartingWith(run.output, "export   ReleaseSinglePlayerDll(").size());
    const std::vector<std::string> inputs = LinesStartingWith(run.output, "slot  6  Play_InputData(port 5, chunk ");
    EXPECT_EQ(kInputCalls, static_cast<int>(inputs.size()));
    int passed = 0;
    for (const std::string& input : inputs) passed += Count(input, " ms  0 PLAY_OK");
    EXPECT_EQ(kChunks, passed);
    EXPECT_EQ(1, Count(run.output, "12 PLAY_ERR_BUFFER, held back"));
    EXPECT_EQ(2, Count(run.output, "0 PLAY_OK, volume 30"));  // right after setting it, and in the read-back
    EXPECT_EQ(1, Count(run.output, "0 PLAY_OK, 352 x 288"));
    EXPECT_EQ(1, Count(run.output, "0 PLAY_OK, video parameters 0, 50, 50, 50, 50, 0"));
    EXPECT_EQ(1, Count(run.output, "0 PLAY_OK, state 1"));
}

TEST_F(HostPlaysAStream, PrintsWhatTheVendorLibraryReceived)
{
    EXPECT_EQ(std::vector<std::string>{"SHX_PlayStrm_Init() -> 0"}, Journal("SHX_PlayStrm_Init"));
    EXPECT_EQ(std::vector<std::string>{"SHX_PlayStrm_OpenStream(0, 352, 288, 0, 0) -> 0"},
              Journal("SHX_PlayStrm_OpenStream"));
    EXPECT_EQ(std::vector<std::string>{"SHX_PlayStrm_Start(0) -> 0"}, Journal("SHX_PlayStrm_Start"));
    EXPECT_EQ(std::vector<std::string>{"SHX_PlayStrm_EnableSound(0, 1) -> 0"}, Journal("SHX_PlayStrm_EnableSound"));
    EXPECT_EQ(std::vector<std::string>{"SHX_PlayStrm_Stop(0) -> 0"}, Journal("SHX_PlayStrm_Stop"));
    EXPECT_EQ(std::vector<std::string>{"SHX_PlayStrm_Uninit() -> 0"}, Journal("SHX_PlayStrm_Uninit"));
    ASSERT_EQ(1u, Journal("SHX_PlayStrm_CapImageBmp(0, ").size());
    // Bound at open, then again before every fifth chunk that reaches the vendor library.
    EXPECT_EQ(1 + kChunks / 5, static_cast<int>(Journal("SHX_PlayStrm_SetWnd(0, 0x00000000, 0) -> 0").size()));

    const std::vector<std::string> inputs = Journal("SHX_PlayStrm_InputData(0, ");
    EXPECT_EQ(kChunks + Refusals(), static_cast<long long>(inputs.size()));
    int taken = 0;
    for (const std::string& input : inputs) {
        EXPECT_NE(std::string::npos, input.find(", 4096, 0, 0, -1, -1) -> ")) << input;
        taken += Count(input, "-> 0");
    }
    EXPECT_EQ(kChunks, taken);
}

TEST_F(HostPlaysAStream, CapturesA352By288BmpFile)
{
    const std::string bmp = ReadFile(drive->Picture());
    ASSERT_EQ(54u + 352u * 288u * 3u, bmp.size());
    EXPECT_EQ("BM", bmp.substr(0, 2));
    EXPECT_EQ(bmp.size(), LittleEndian(bmp, 2, 4));
    EXPECT_EQ(352u, LittleEndian(bmp, 18, 4));
    EXPECT_EQ(288u, LittleEndian(bmp, 22, 4));
    EXPECT_EQ(24u, LittleEndian(bmp, 28, 2));
    EXPECT_NE(std::string::npos, run.output.find("picture file " + drive->Picture() + ", 304182 bytes"));
}

TEST_F(HostPlaysAStream, LogsEveryInputCallAndEveryRefusal)
{
    const std::string runtime = ReadFile(drive->RuntimeLog());
    EXPECT_EQ(kInputCalls, Count(runtime, kGbkInputData + ":[Play_InputData]"));
    for (const char* once : {"[Play_SetOpenMode]", "[Play_OpenStream]", "[Play_GetPicture]", "[Play_CloseStream]"})
        EXPECT_EQ(1, Count(runtime, once)) << once;

    const std::string errors = ReadFile(drive->ErrorLog());
    EXPECT_EQ(Refusals(), Count(errors, "ErrCode:["));
    EXPECT_EQ(Refusals(), Count(errors, "ErrCode:[-2]"));
    EXPECT_EQ(Refusals(), Count(errors, "ErrString:[" + kGbkBufferOverflow));
    EXPECT_EQ(Refusals(), Count(errors, "SHX_PlayStrm_InputData()]"));
}

// What a person gets for a mistake: a message that names it and an exit status.
class HostProgramErrors : public ::testing::Test {
protected:
    SystemDrive drive;
};

TEST_F(HostProgramErrors, MissingPluginOrExportExitsWith3)
{
    ProgramRun run = RunProgram("pelshx_host", {"--plugin=no-such-plugin", drive.Stream()});
    EXPECT_EQ(3, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("cannot use the plug-in \"no-such-plugin\"")) << run.output;

    run = RunProgram("pelshx_host", {"--plugin=./" VENDOR_LIBRARY_FILE, drive.Stream()});
    EXPECT_EQ(3, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("has no export CreateSinglePlayerDll")) << run.output;
}

TEST_F(HostProgramErrors, MissingStreamFileOrADirectoryExitsWith4)
{
    ProgramRun run = RunProgram("pelshx_host", {drive.Stream() + ".missing"});
    EXPECT_EQ(4, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("cannot read the stream file \"" + drive.Stream() + ".missing\""))
        << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("CreateSinglePlayerDll"));

    run = RunProgram("pelshx_host", {drive.TraceDirectory()});
    EXPECT_EQ(4, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find(drive.TraceDirectory() + "\": it is a directory")) << run.output;
}

// A stream that grows while it is replayed (here during a pause before the
// first chunk) is replayed, and counted, as far as it reached when opened.
TEST_F(HostProgramErrors, GrowingStreamIsReplayedAsFarAsItReachedWhenOpened)
{
    std::remove(drive.Journal().c_str());
    std::thread grower([&] {
        for (int waited = 0; waited < 30000 && ReadFile(drive.Journal()).find("OpenStream") == std::string::npos; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ofstream(drive.Stream(), std::ios::binary | std::ios::app) << std::string(3 * kChunkBytes, 'g');
    });
    const ProgramRun run = RunProgram("pelshx_host", {"--rate=0", "--pause=0:1000", drive.Stream()},
                                      {{"SHXSTRM_JOURNAL", drive.Journal()}});
    grower.join();
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ((kChunks + 3) * kChunkBytes, ReadFile(drive.Stream()).size());
    EXPECT_NE(std::string::npos, run.output.find("chunks fed          12 of 12, 49152 of 49152 bytes")) << run.output;
}

// A stream and a picture named in the Chinese code page are opened and
// reported by those names, as the plug-in is given them.
TEST_F(HostProgramErrors, TwoByteStreamAndPictureNamesAreUsedAsGiven)
{
    if (!test_files::ChineseCodePage()) GTEST_SKIP() << "needs the Chinese code page (LC_ALL=zh_CN.UTF-8 under Wine)";
    const std::string stream = drive.Work() + test_files::kGbkHui + ".bin";
    const std::string picture = drive.Work() + "\xCD\xBC.bmp";  // 图
    WriteFile(stream, ReadFile(drive.Stream()));
    const ProgramRun run = RunProgram("pelshx_host", {"--rate=0", "--capture=" + picture, stream},
                                      {{"SHXSTRM_SIMULATE", "1048576,104857600"}});
    const std::string bmp = ReadFile(picture);
    std::remove(stream.c_str());
    std::remove(picture.c_str());
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("stream " + stream + " (49152 bytes)")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("picture file " + picture + ", 304182 bytes")) << run.output;
    EXPECT_EQ(304182u, bmp.size());
}

TEST_F(HostProgramErrors, BadCommandLinesExitWith2)
{
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"--bogus", drive.Stream()},
        {"--chunk=0", drive.Stream()},
        {"--port=five", drive.Stream()},
        {"--pause=3", drive.Stream()},
        {"--data-type=AB", drive.Stream()},
        {"--read-back=1", drive.Stream()},
        {drive.Stream(), drive.Stream()},
        {drive.Stream(), "--capture"},
        {"--capture", "--read-back", drive.Stream()},
        {"--pause=12:10", drive.Stream()},  // the stream has chunks 0 to 11
    };
    for (const std::vector<std::string>& arguments : mistakes) {
        const ProgramRun run = RunProgram("pelshx_host", arguments);
        EXPECT_EQ(2, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("--help")) << run.output;
    }
}

TEST_F(HostProgramErrors, HelpExitsWith0)
{
    const ProgramRun run = RunProgram("pelshx_host", {"--help"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("Usage: pelshx_host")) << run.output;
}

TEST_F(HostProgramErrors, StandInReportsALiveSettingItCannotUse)
{
    for (const char* setting : {"abc", "16384", "0,0"}) {
        const ProgramRun run = RunProgram("pelshx_host", {"--rate=0", drive.Stream()}, {{"SHXSTRM_SIMULATE", setting}});
        EXPECT_EQ(0, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("SHXSTRM_SIMULATE=\"" + std::string(setting) + "\" is not"))
            << run.output;
    }
}

// pelshx_host --check on the installation the tests use, sound and broken.
class InstallationCheck : public ::testing::Test {
protected:
    SystemDrive drive;
};

TEST_F(InstallationCheck, FindsTheTestInstallationSound)
{
    const ProgramRun run = RunProgram("pelshx_host", {"--check"});
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("TRACE_PATH [" + drive.TraceDirectory() + "] (line 2)")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("exports all 9 functions the plug-in calls")) << run.output;
    EXPECT_EQ(0, Count(run.output, "PROBLEM")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("\nverdict: the installation is sound")) << run.output;
}

TEST_F(InstallationCheck, NamesTheCauseOfAConfigurationTheUserGotWrong)
{
    const std::string trace = "[TRACE_PATH] [" + drive.TraceDirectory() + "]\n";
    const std::string longPath = drive.TraceDirectory() + "/" + std::string(85, 'd');
    const std::vector<std::pair<std::string, std::string>> configurations = {
        {"[global]\n" + trace, "line 1 has [global], which differs from [GLOBAL]"},
        {"[GLOBAL]\n[TRACE_PATH] [" + longPath + "]\n", "line 2 is longer than 99 characters"},
        {"[GLOBAL]\nTRACE_PATH=" + drive.TraceDirectory() + "\n", "line 2 is written \"TRACE_PATH="},
        {"[GLOBAL]\n" + trace + "[DEBUG_LEVEL] [two]\n", "DEBUG_LEVEL [two] (line 3) is not a number"},
        {"[GLOBAL]\n" + trace + "; [DEBUG_LEVEL] [2]\n", "line 3 starts with ';'"},
        {"[DEBUG_LEVEL] [2]\n[GLOBAL]\n" + trace, "line 1 sets it before [GLOBAL]"},
        {"[GLOBAL]\n" + trace + "[TRACE_PATH] [elsewhere]\n", "set again on line 3; only the first, on line 2"},
        {std::string("\xFF\xFE[\0G\0", 6), "saved as UTF-16"},
        {"[GLOBAL]\n[TRACE_PATH] []\n", "TRACE_PATH [] (line 2) is empty: the logs go to each host's current"},
        {"[GLOBAL]\n[TRACE_PATH] [" + drive.TraceDirectory() + "/\xE6\x97\xA5\xE5\xBF\x97]\n",
         "the file is saved as UTF-8, but the player reads it as ANSI text"},
        {"[GLOBAL]\n" + trace + "\x1A\n[DEBUG_LEVEL] [2]\n", "line 3 holds a 0x1A byte (Ctrl-Z)"},
        {"[GLOBAL]\r" + trace.substr(0, trace.size() - 1) + "\r[DEBUG_LEVEL] [2]\r", "line 1 ends in a CR alone"},
        {"[GLOBAL] " + trace, "line 1 sets it on the [GLOBAL] line"},
        {"[GLOBAL]\n[TRACE_PATH] [trace]\n", "TRACE_PATH [trace] (line 2) is no full path: the logs go to each host's"},
    };
    for (const auto& [configuration, cause] : configurations) {
        drive.WriteConfig(configuration);
        const ProgramRun run = RunProgram("pelshx_host", {"--check"});
        EXPECT_EQ(5, run.exitCode) << run.output;
        EXPECT_EQ(1u, LinesStartingWith(run.output, "verdict: ").size()) << run.output;
        EXPECT_NE(std::string::npos, run.output.find(cause)) << cause << "\n" << run.output;
    }
}

// Where the plug-in cannot write, or rotate, however sound the configuration:
// a file in the trace directory's place or above it, names the system does
// not keep as written, a directory taking a log's name or its backup's. The
// check leaves nothing behind.
TEST_F(InstallationCheck, NamesWhereRecordsWouldBeLost)
{
    const std::string file = drive.TraceDirectory() + "/file";
    WriteFile(file, "x");
    std::vector<std::string> lost = {file, file + "/below"};
#ifdef _WIN32
    // Play_Init makes "unkept" for "unkept..", where no file is found again.
    std::string unkept = drive.TraceDirectory() + "/unkept";
    lost.push_back(unkept + "..");
    lost.push_back(drive.TraceDirectory() + "/f*");
    std::replace(unkept.begin(), unkept.end(), '/', '\\');
    lost.push_back("\\\\?\\" + unkept);
    lost.push_back("\\\\.\\" + unkept);
#endif
    const std::set<std::string> before = Entries(drive.TraceDirectory());
    for (const std::string& directory : lost) {
        drive.WriteConfig("[GLOBAL]\n[TRACE_PATH] [" + directory + "]\n");
        const ProgramRun run = RunProgram("pelshx_host", {"--check"});
        EXPECT_EQ(5, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("; every record is lost")) << directory << "\n" << run.output;
        EXPECT_EQ(before, Entries(drive.TraceDirectory())) << directory;
    }
    std::remove(file.c_str());

    drive.WriteConfig("[GLOBAL]\n[TRACE_PATH] [" + drive.TraceDirectory() + "]\n");
    std::remove(drive.ErrorLog().c_str());
    for (const std::string& taken : {drive.ErrorLog(), drive.RuntimeLog() + ".bak"})
        std::filesystem::create_directory(taken);
    const ProgramRun run = RunProgram("pelshx_host", {"--check"});
    for (const std::string& taken : {drive.ErrorLog(), drive.RuntimeLog() + ".bak"}) std::filesystem::remove(taken);
    EXPECT_EQ(5, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("PelShx_Player_Error.log is a directory, so that log is lost"))
        << run.output;
    EXPECT_NE(std::string::npos, run.output.find("PelShx_Player_Runtime.log.bak cannot be replaced")) << run.output;
}

// Where the plug-in works: without a configuration file (on its defaults,
// natively no full path), with a trace directory still to be made, on a
// drive's empty root (under Wine). What the check made is gone afterwards.
TEST_F(InstallationCheck, FindsSoundWhatThePluginCanUse)
{
    const std::string fresh = drive.TraceDirectory() + "/fresh/er";
    std::filesystem::remove_all(drive.TraceDirectory() + "/fresh");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"[GLOBAL]\n[TRACE_PATH] [" + fresh + "]\n", "trace directory " + fresh + "/ does not exist yet"}};
#ifdef _WIN32
    const bool defaultThere = std::filesystem::exists("c:/tamsi");
    cases.push_back({"", "TAVO.cfg is not there; the player uses TRACE_PATH c:/tamsi/ and DEBUG_LEVEL 0"});
    // Under Wine a folder in the prefix's dosdevices folder is a drive.
    const char* prefix = std::getenv("WINEPREFIX");
    const std::string emptyRoot = prefix == nullptr ? "" : std::string("Z:") + prefix + "/dosdevices/q:";
    if (!emptyRoot.empty() && std::filesystem::create_directory(emptyRoot))
        cases.push_back({"[GLOBAL]\n[TRACE_PATH] [Q:/]\n", "trace directory Q:/ exists; records can be written"});
#endif
    for (const auto& [configuration, finding] : cases) {
        if (configuration.empty())
            drive.RemoveConfig();
        else
            drive.WriteConfig(configuration);
        const ProgramRun run = RunProgram("pelshx_host", {"--check"});
        EXPECT_EQ(0, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find(finding)) << finding << "\n" << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(drive.TraceDirectory() + "/fresh"));
#ifdef _WIN32
    EXPECT_EQ(defaultThere, std::filesystem::exists("c:/tamsi"));
    if (cases.size() == 3) {
        EXPECT_TRUE(std::filesystem::is_empty(emptyRoot));
        std::filesystem::remove(emptyRoot);
    }
#endif
}

// A Chinese trace directory whose characters end in ']' and '\\', with a
// directory taking the error log's name: judged as the plug-in sees them.
TEST_F(InstallationCheck, TwoByteTraceDirectoryIsJudgedAsThePluginSeesIt)
{
    if (!test_files::ChineseCodePage()) GTEST_SKIP() << "needs the Chinese code page (LC_ALL=zh_CN.UTF-8 under Wine)";
    const std::string directory = drive.TraceDirectory() + "/" + test_files::kGbkHui + "/" + test_files::kGbkCheng;
    drive.WriteConfig("[GLOBAL]\n[TRACE_PATH] [" + directory + "]\n[DEBUG_LEVEL] [1]\n");
    CreateDirectoryTree(directory + "/PelShx_Player_Error.log/");
    const ProgramRun run = RunProgram("pelshx_host", {"--check"});
    EXPECT_EQ(5, run.exitCode) << run.output;
    EXPECT_EQ(1, Count(run.output, "PROBLEM")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(directory + "/PelShx_Player_Error.log is a directory")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(directory + "/PelShx_Player_Runtime.log not there yet")) << run.output;
}

// As the plug-in reads them under the Chinese code page: a GBK file whose
// bytes are also valid UTF-8 names the folder it means; a UTF-8 character
// that takes the value's ']' and a UTF-8 byte order mark that takes the '['
// of [GLOBAL] are named as what they are.
TEST_F(InstallationCheck, TwoByteConfigurationsAreJudgedAsThePluginReadsThem)
{
    if (!test_files::ChineseCodePage()) GTEST_SKIP() << "needs the Chinese code page (LC_ALL=zh_CN.UTF-8 under Wine)";
    const std::string gbk = drive.TraceDirectory() + "/\xC4\xBF\xC2\xBC";  // 目录
    const struct {
        std::string configuration;
        int exitCode;
        std::string finding;
    } cases[] = {
        {"[GLOBAL]\n[TRACE_PATH] [" + gbk + "]\n", 0, "TRACE_PATH [" + gbk + "] (line 2)"},
        {"[GLOBAL]\n[TRACE_PATH] [" + drive.TraceDirectory() + "/\xE5\xBF\x97]\n", 5,  // 志 in UTF-8
         "takes the ']' as its second byte; the file is saved as UTF-8"},
        {"\xEF\xBB\xBF[GLOBAL]\n[TRACE_PATH] [" + drive.TraceDirectory() + "]\n", 5,
         "takes the '[' as its second byte: the UTF-8 byte order mark's last byte"},
    };
    for (const auto& [configuration, exitCode, finding] : cases) {
        drive.WriteConfig(configuration);
        const ProgramRun run = RunProgram("pelshx_host", {"--check"});
        EXPECT_EQ(exitCode, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find(finding)) << finding << "\n" << run.output;
    }
}

// A stray NUL byte at the end of the file, and a probe file an earlier check
// left behind, harm nothing and are no problems.
TEST_F(InstallationCheck, StaysSoundWithAStrayNulAndAnOldProbeFile)
{
    drive.WriteConfig(std::string("[GLOBAL]\n[TRACE_PATH] [") + drive.TraceDirectory() + "]\n" + '\0');
    const std::string probe = drive.TraceDirectory() + "/pelshx_host_check.tmp";
    WriteFile(probe, "");
    const ProgramRun run = RunProgram("pelshx_host", {"--check"});
    std::remove(probe.c_str());
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(0, Count(run.output, "PROBLEM")) << run.output;
}

TEST_F(InstallationCheck, NamesAMissingPlugin)
{
    const ProgramRun run = RunProgram("pelshx_host", {"--check", "--plugin=no-such-plugin"});
    EXPECT_EQ(5, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos,
              run.output.find("PROBLEM  plug-in: cannot use \"no-such-plugin\": the plug-in is not there"))
        << run.output;
}

// The plug-in copied without the vendor library into a directory of its own,
// with the program, run from there so that no other copy is found.
TEST_F(InstallationCheck, TellsAMissingVendorLibraryFromAMissingPlugin)
{
#ifndef _WIN32
    GTEST_SKIP() << "the native plug-in finds its vendor library through the run path it was linked with";
#else
    namespace fs = std::filesystem;
    const fs::path bin = fs::current_path();
    // In the short temporary root: the command processor cannot start in a
    // directory whose path is longer than MAX_PATH, as below a deep checkout.
    const fs::path alone = fs::path(test_files::TemporaryRootPath()) / "check-without-vendor-library";
    fs::create_directories(alone);
    for (const char* file : {"pelshx_host.exe", "PelShx_PlaySDK.dll"})
        fs::copy_file(bin / file, alone / file, fs::copy_options::overwrite_existing);
    fs::current_path(alone);
    const ProgramRun check = RunProgram("pelshx_host", {"--check"});
    const ProgramRun play = RunProgram("pelshx_host", {drive.Stream()});
    // Beside a plug-in in another folder the vendor library is out of the system's sight.
    fs::create_directory(alone / "other");
    fs::rename(alone / "PelShx_PlaySDK.dll", alone / "other" / "PelShx_PlaySDK.dll");
    fs::copy_file(bin / VENDOR_LIBRARY_FILE, alone / "other" / VENDOR_LIBRARY_FILE);
    const ProgramRun other = RunProgram("pelshx_host", {"--check", "--plugin=" + (alone / "other" / "PelShx_PlaySDK.dll").string()});
    fs::current_path(bin);
    fs::remove_all(alone);

    EXPECT_EQ(5, check.exitCode) << check.output;
    EXPECT_NE(std::string::npos,
              check.output.find("the vendor library " VENDOR_LIBRARY_FILE " it needs is neither beside it"))
        << check.output;
    EXPECT_NE(std::string::npos, other.output.find("other\\" VENDOR_LIBRARY_FILE " is out of the system's sight"))
        << other.output;
    EXPECT_EQ(1, Count(check.output, "PROBLEM")) << check.output;
    EXPECT_EQ(1, Count(other.output, "PROBLEM")) << other.output;
    EXPECT_EQ(3, play.exitCode) << play.output;
    EXPECT_NE(std::string::npos, play.output.find("the vendor library " VENDOR_LIBRARY_FILE " it needs"))
        << play.output;
#endif
}

#ifndef _WIN32
// Runs the host program, interrupts it as Ctrl-C does once it has printed
// `cue`, and collects what it printed.
ProgramRun RunAndInterrupt(const std::vector<std::string>& arguments, const std::string& cue)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv{const_cast<char*>("./pelshx_host")};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    ProgramRun run;
    bool interrupted = false;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        run.output.append(buffer, static_cast<std::size_t>(got));
        if (!interrupted && run.output.find(cue) != std::string::npos) interrupted = kill(child, SIGINT) == 0;
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST_F(HostProgramErrors, InterruptWindsDownAndSumsUp)
{
    // 12 chunks at 2 a second would take 6 s; the first progress line comes after 1 s.
    const ProgramRun run = RunAndInterrupt({"--rate=2", drive.Stream()}, "progress:");
    EXPECT_EQ(130, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("s left")) << run.output;
    for (const char* windDown :
         {"slot  7  Play_CloseStream(port 0)", "slot  1  Play_Uninit()", "export   ReleaseSinglePlayerDll("})
        EXPECT_EQ(1u, LinesStartingWith(run.output, windDown).size()) << windDown << "\n" << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Summary (interrupted: feeding stopped after chunk")) << run.output;
    EXPECT_LT(Figure(run.output, "chunks fed"), kChunks) << run.output;
    const std::vector<std::string> progress = LinesStartingWith(run.output, "progress: ");
    ASSERT_FALSE(progress.empty()) << run.output;
    for (const std::string& line : progress) {
        std::smatch figures;
        ASSERT_TRUE(std::regex_search(line, figures, std::regex("progress: ([0-9]+) chunks, ([0-9]+) of"))) << line;
        EXPECT_EQ(std::stoll(figures[1]) * kChunkBytes, std::stoll(figures[2])) << "each chunk counted once: " << line;
    }
}

// A stream of 40 GiB (sparse) is not read to learn its size: it plays at once,
// and Ctrl-C right after the start ends the run within a moment.
TEST_F(HostProgramErrors, HugeStreamStartsAtOnceAndCtrlCEndsItPromptly)
{
    const std::string huge = test_files::TemporaryRootPath() + "huge.bin";
    std::filesystem::resize_file(drive.Stream(), 40ull << 30);
    std::filesystem::rename(drive.Stream(), huge);
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = RunAndInterrupt({"--rate=0", huge}, "Plug-in ");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(huge);
    EXPECT_EQ(130, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("(42949672960 bytes)")) << run.output;
    EXPECT_LT(seconds, 10.0) << run.output;
}

// A pipe has no size and cannot be read from its start again: it is refused.
TEST_F(HostProgramErrors, PipeIsRefusedWithExit4)
{
    const std::string fifo = test_files::TemporaryRootPath() + "stream.fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const ProgramRun run = RunProgram("pelshx_host", {fifo});
    std::filesystem::remove(fifo);
    EXPECT_EQ(4, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("a pipe or a device cannot be replayed")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("CreateSinglePlayerDll")) << run.output;
}
#endif

}  // namespace
