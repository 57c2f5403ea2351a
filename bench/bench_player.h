#pragma once

// The plug-in as the benchmarks drive it: the configuration they write and
// the one player they start, whether the plug-in runs in this process or in
// the 64-bit DLL's helper.

#include "PelShx_PlaySDK.h"

#include <cstdint>
#include <string>

namespace bench {

// A text file's contents; "" when it cannot be read.
std::string ReadText(const std::string& path);

// The system drive of the run and the plug-in's configuration file on it.
// Natively the drive is a temporary directory of the run's own. On Windows it
// is the real one: a configuration file found there that this program did not
// write is never touched, and the run refuses to start. What the run writes
// is removed at its end.
class Drive {
public:
    Drive();
    ~Drive();
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;

    // False, with the reason in error, when the configuration file may not be written.
    bool Usable(std::string& error) const;
    void Configure(int debugLevel) const;
    std::string TraceDirectory() const { return root + "tavo/pelshx-bench-trace/"; }

private:
    std::string root;
    std::string configFile;
};

// The one player, its port bound and opened at a debug level.
class StartedPlayer {
public:
    StartedPlayer(const Drive& drive, int debugLevel);
    ~StartedPlayer();
    StartedPlayer(const StartedPlayer&) = delete;
    StartedPlayer& operator=(const StartedPlayer&) = delete;

    int32_t Input();
    int32_t Input(const uint8_t* data, uint32_t size);
    // A call the plug-in refuses with an error record and nothing else.
    int32_t RefusedCall();

private:
    IPlayer* player;
};

}  // namespace bench
