#pragma once

// A fresh player on a configured system drive, with the stand-in vendor
// library's journal and the two logs at hand.

#include "PelShx_PlaySDK.h"
#include "shxstrm_standin.h"
#include "support/file_helpers.h"
#include "support/log_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using test_files::SystemDriveRoot;
std::string ConfigFilePath();
using test_files::ReadText;
using test_files::Remove;
using test_files::WriteText;

extern const char kRuntimeLogName[];
extern const char kErrorLogName[];

// An expected error record. Its line, unless set with At(), matches any line.
ErrorRecord Error(int32_t code, const std::string& text);
ErrorRecord Error(int32_t code, const std::string& text, const std::string& context);
ErrorRecord At(ErrorRecord record, int32_t line);
bool operator==(const ErrorRecord& a, const ErrorRecord& b);
std::ostream& operator<<(std::ostream& out, const ErrorRecord& record);

bool operator==(const EntryRecord& a, const EntryRecord& b);
std::ostream& operator<<(std::ostream& out, const EntryRecord& record);

// The records of a log's text; a text that is anything but whole records fails the test.
std::vector<ErrorRecord> ParseErrorLog(const std::string& text);
std::vector<EntryRecord> ParseRuntimeLog(const std::string& text);

// The number of the line of a plug-in source file (under src/) that holds
// `statement`, the first such line after the first that holds `anchor`.
int32_t SourceLine(const std::string& file, const std::string& anchor, const std::string& statement);

// A vendor call as the journal holds it, for comparison.
struct VendorCall {
    ShxFunction function;
    std::vector<int64_t> args;
    bool operator==(const VendorCall& other) const;
};
std::ostream& operator<<(std::ostream& out, const VendorCall& call);

std::vector<VendorCall> VendorJournal();
// When the calls of one function were made, in microseconds.
std::vector<int64_t> CallTimes(ShxFunction function);

class PlayerTest : public ::testing::Test {
protected:
    static const std::string kTraceDirectory;
    static const uint8_t kData[16];

    void SetUp() override;
    void TearDown() override;

    // Writes the configuration, runs Play_Init, then forgets the journal and logs.
    void InitWithDebugLevel(int level);
    void ForgetJournalAndLogs();

    int32_t Bind(int32_t port) { return player->Play_SetOpenMode(port, 0); }
    int32_t Open(int32_t port, void* window = nullptr);
    // Binds and opens the port, then forgets the journal and logs.
    void StartPort(int32_t port, void* window = nullptr);
    int32_t Input(int32_t port, int32_t dataType = 0) { return player->Play_InputData(port, kData, sizeof kData, dataType); }
    int32_t StateOf(int32_t port);

    static std::vector<VendorCall> Journal() { return VendorJournal(); }
    std::vector<ErrorRecord> Errors() const;
    std::vector<EntryRecord> Entries() const;
    // The channel a port was opened on, read from the vendor journal.
    int64_t ChannelOpenedFor(int32_t port);

    IPlayer* player = nullptr;
};
