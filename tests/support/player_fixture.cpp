#include "support/player_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <regex>

std::string ConfigFilePath()
{
    return SystemDriveRoot() + "tavo/cfg/TAVO.cfg";
}

bool ErrorRecord::operator==(const ErrorRecord& other) const
{
    return code == other.code && source == other.source && text == other.text;
}

ErrorRecord Error(int32_t code, const std::string& text)
{
    return {code, "MyPelShxPlaySDK", 0, text};
}

ErrorRecord Error(int32_t code, const std::string& text, const std::string& context)
{
    return Error(code, text + "\n" + context);
}

std::ostream& operator<<(std::ostream& out, const ErrorRecord& record)
{
    return out << "{code " << record.code << ", " << record.source << ":" << record.line << ", \"" << record.text
               << "\"}";
}

bool EntryRecord::operator==(const EntryRecord& other) const
{
    return description == other.description && operation == other.operation;
}

std::ostream& operator<<(std::ostream& out, const EntryRecord& record)
{
    return out << "{\"" << record.description << "\", " << record.operation << "}";
}

namespace {

const char kTimestamp[] = R"(\n\[\d\d-\d\d \d\d:\d\d:\d\d\.\d\d\]\n)";

template <typename Record, typename Make>
std::vector<Record> ParseRecords(const std::string& text, const std::string& body, Make make)
{
    // Records follow each other without gaps; anything else in the file is a fault.
    const std::regex record(kTimestamp + body);
    std::vector<Record> records;
    std::size_t parsed = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), record); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(parsed, static_cast<std::size_t>(it->position())) << "unparsed log text before a record";
        records.push_back(make(*it));
        parsed = static_cast<std::size_t>(it->position() + it->length());
    }
    EXPECT_EQ(text.size(), parsed) << "unparsed log text: " << text.substr(parsed);
    return records;
}

}  // namespace

std::vector<ErrorRecord> ParseErrorLog(const std::string& text)
{
    const std::string body =
        R"(ErrCode:\[(-?\d+)\]\nContext:\[Source File: \[([^\]]*)\], LINE: \[(\d+)\]\]\nErrString:\[([^\]]*)\]\n)";
    return ParseRecords<ErrorRecord>(text, body, [](const std::smatch& m) {
        return ErrorRecord{std::stoi(m[1]), m[2], std::stoi(m[3]), m[4]};
    });
}

std::vector<EntryRecord> ParseRuntimeLog(const std::string& text)
{
    const std::string body = R"(([^\n]*):\[([^\n]*)\]\n:\[\]\n:\[\]\n)";
    return ParseRecords<EntryRecord>(text, body, [](const std::smatch& m) { return EntryRecord{m[1], m[2]}; });
}

bool VendorCall::operator==(const VendorCall& other) const
{
    return function == other.function && args == other.args;
}

std::ostream& operator<<(std::ostream& out, const VendorCall& call)
{
    out << ShxStandin_FunctionName(call.function) << "(";
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
    Remove(kTraceDirectory + "PelShx_Player_Runtime.log");
    Remove(kTraceDirectory + "PelShx_Player_Error.log");
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
    for (int32_t i = 0; ShxStandin_GetCall(i, &call) == 0; ++i) {
        const std::size_t arity[SHX_FUNCTION_COUNT] = {0, 0, 5, 3, 1, 7, 1, 2, 2};
        calls.push_back({static_cast<ShxFunction>(call.function),
                         std::vector<int64_t>(call.args, call.args + arity[call.function])});
    }
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
    return ParseErrorLog(ReadText(kTraceDirectory + "PelShx_Player_Error.log"));
}

std::vector<EntryRecord> PlayerTest::Entries() const
{
    return ParseRuntimeLog(ReadText(kTraceDirectory + "PelShx_Player_Runtime.log"));
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
