#pragma once

// What the 64-bit DLL's tests share: a host that loads the DLL from the folder
// it runs in (the helper and the win32 build's plug-in and stand-in in x86
// beside it), with a configuration that points the plug-in's logs into the
// test program's own directory, and the stand-in's journal in a file there.

#include "PelShx_PlaySDK.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace bridge_test {

// The test program's own directory, with a trailing slash.
std::string Root();

// The lines of the journal file whose call starts with `call` (a function's
// name, or "SHX_PlayStrm_" for all), without their times and line ends:
// "SHX_PlayStrm_InputData(1, data:..., 16, 1, 0, -1, -1) -> 0".
std::vector<std::string> JournalLines(const std::string& journalFile, const std::string& call);

// The checksum of input data that the stand-in's journal shows (FNV-1a).
uint32_t Checksum(const uint8_t* data, std::size_t size);

// The processes that `parent` made and that are running now.
std::vector<DWORD> ChildrenOf(DWORD parent);

class Bridge : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A player with Play_Init done and `port` open on the window, bound after
    // port 9 so that it has channel 1.
    void StartPort(int32_t port, void* window = reinterpret_cast<void*>(0x1234));

    int32_t Input(int32_t port) { return player->Play_InputData(port, kData, sizeof kData, 0); }

    std::vector<std::string> JournalLines(const std::string& call) const
    {
        return bridge_test::JournalLines(journalFile, call);
    }
    std::string ErrorLog() const;
    std::vector<std::string> Dumps() const;
    // Ends the player's helper between two calls, as a host sees a helper end
    // whose cause is not a call (a vendor thread crashing), and waits for it.
    void EndHelper(uint32_t exitCode);

    static const uint8_t kData[16];
    std::string traceDirectory;
    std::string journalFile;
    HMODULE plugin = nullptr;
    PFN_CreateSinglePlayerDll create = nullptr;
    PFN_ReleaseSinglePlayerDll release = nullptr;
    IPlayer* player = nullptr;
};

}  // namespace bridge_test
