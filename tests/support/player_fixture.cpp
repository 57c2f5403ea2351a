#include "support/player_fixture.h"

#include <fstream>

std::string ConfigFilePath()
{
    return SystemDriveRoot() + "tavo/cfg/TAVO.cfg";
}

const char kRuntimeLogName[] = "PelShx_Player_Runtime.log";
const char kErrorLogName[] = "PelShx_Player_Error.log";

ErrorRecord Error(int32_t code, const std::string& text)
{
    return {code, "MyPelShxPlaySDK", 0, text};
}

ErrorRecord Error(int32_t code, const std::string& text, const std::string& context)
{
    return Error(code, text + "\n" + context);
}

ErrorRecord At(ErrorRecord record, int32_t line)
{
    record.line = line;
    return record;
}

bool operator==(const ErrorRecord& a, const ErrorRecord& b)
{
    return a.code == b.code && a.source == b.source && a.text == b.text &&
           (a.line == 0 || b.line == 0 || a.line == b.line);
}

std::ostream& operator<<(std::ostream& out, const ErrorRecord& record)
{
    return out << "{code " << record.code << ", " << record.source << ":" << record.line << ", \"" << record.text
               << "\"}";
}

bool operator==(const EntryRecord& a, const EntryRecord& b)
{
    return a.description == b.description && a.operation == b.operation;
}

std::ostream& operator<<(std::ostream& out, const EntryRecord& record)
{
    return out << "{\"" << record.description << "\", " << record.operation << "}";
}

std::vector<ErrorRecord> ParseErrorLog(const std::string& text)
{
    std::vector<ErrorRecord> records;
    std::string fault;
    EXPECT_TRUE(ReadErrorRecords(text, records, fault)) << fault;
    return records;
}

std::vector<EntryRecord> ParseRuntimeLog(const std::string& text)
{
    std::vector<EntryRecord> records;
    std::string fault;
    EXPECT_TRUE(ReadEntryRecords(text, records, fault)) << fault;
    return records;
}

int32_t SourceLine(const std::string& file, const std::string& anchor, const std::string& statement)
{
    std::ifstream source(std::string(PELSHX_SOURCE_DIR) + "/src/" + file);
    EXPECT_TRUE(source.good()) << file;
    bool anchored = false;
    int32_t number = 1;
    for (std::string line; std::getline(source, line); ++number) {
        anchored = anchored || line.find(anchor) != std::string::npos;
        if (anchored && line.find(statement) != std::string::npos) return number;
    }
    ADD_FAILURE() << "no line holding \"" << statement << "\" after \"" << anchor << "\" in " << file;
    return -1;
}

bool VendorCall::operator==(const VendorCall& other) const
{
    return function == other.function && args == other.args;
}

std::ostream& operator<<(std::ostream& out, const VendorCall& call)
{
    out << kShxFunctionNames[call.function] << "(";
    for (std::size_t i = 0; i < call.args.size(); ++i) out << (i ? ", " : "") << call.args[i];
    return out << ")";
}

const std::string PlayerTest::kTraceDirectory = test_files::TemporaryRootPath() + "trace/";
const uint8_t PlayerTest::kData[16] = {0x00, 0x00, 0x01, 0xBA};

void PlayerTest::SetUp()
{
    ShxStandin_Reset();
    player = CreateSinglePlayerDll();
    ASSERT_NE(nullptr, player);
}

void PlayerTest::TearDown()
{
    ReleaseSinglePlayerDll(player);
}

void PlayerTest::InitWithDebugLevel(int level)
{
    WriteText(ConfigFilePath(), "[GLOBAL]\n[TRACE_PATH] [" + kTraceDirectory + "]\n[DEBUG_LEVEL] [" +
                                        std::to_string(level) + "]\n");
    ASSERT_EQ(0, player->Play_Init(0));
    ForgetJournalAndLogs();
}

void PlayerTest::ForgetJournalAndLogs()
{
    ShxStandin_Reset();
    Remove(kTraceDirectory + kRuntimeLogName);
    Remove(kTraceDirectory + kErrorLogName);
}

int32_t PlayerTest::Open(int32_t port, void* window)
{
    return player->Play_OpenStream(window, port, kData, sizeof kData, 0);
}

void PlayerTest::StartPort(int32_t port, void* window)
{
    ASSERT_EQ(PLAY_OK, Bind(port));
    ASSERT_EQ(PLAY_OK, Open(port, window));
    ForgetJournalAndLogs();
}

int32_t PlayerTest::StateOf(int32_t port)
{
    int32_t state = -1;
    EXPECT_EQ(PLAY_OK, player->Play_GetPlayState(port, &state));
    return state;
}

std::vector<VendorCall> VendorJournal()
{
    std::vector<VendorCall> calls;
    ShxCall call;
    for (int32_t i = 0; ShxStandin_GetCall(i, &call) == 0; ++i)
        calls.push_back({static_cast<ShxFunction>(call.function),
                         std::vector<int64_t>(call.args, call.args + call.argumentCount)});
    return calls;
}

std::vector<int64_t> CallTimes(ShxFunction function)
{
    std::vector<int64_t> times;
    ShxCall call;
    for (int32_t i = 0; ShxStandin_GetCall(i, &call) == 0; ++i)
        if (call.function == function) times.push_back(call.microseconds);
    return times;
}

std::vector<ErrorRecord> PlayerTest::Errors() const
{
    return ParseErrorLog(ReadText(kTraceDirectory + kErrorLogName));
}

std::vector<EntryRecord> PlayerTest::Entries() const
{
    return ParseRuntimeLog(ReadText(kTraceDirectory + kRuntimeLogName));
}

int64_t PlayerTest::ChannelOpenedFor(int32_t port)
{
    ShxStandin_Reset();
    EXPECT_EQ(PLAY_OK, Open(port));
    EXPECT_EQ(PLAY_OK, player->Play_CloseStream(port));
    ShxCall call;
    EXPECT_EQ(0, ShxStandin_GetCall(0, &call));
    EXPECT_EQ(SHX_OPEN_STREAM, call.function);
    ShxStandin_Reset();
    return call.args[0];
}
