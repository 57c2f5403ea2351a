#pragma once

// The player's settings from its configuration file: where the logs go and
// how much they record. Read by Play_Init only.

#include <cstdint>
#include <string>

namespace player_settings {

// Relative to the system drive root.
constexpr char kConfigFile[] = "tavo/cfg/TAVO.cfg";
constexpr char kSection[] = "GLOBAL";
constexpr char kTracePathKey[] = "TRACE_PATH";
constexpr char kDebugLevelKey[] = "DEBUG_LEVEL";

constexpr char kDefaultTraceDirectory[] = "c:/tamsi/";
constexpr int32_t kDefaultDebugLevel = 0;

constexpr char kRuntimeLogName[] = "PelShx_Player_Runtime.log";
constexpr char kErrorLogName[] = "PelShx_Player_Error.log";

}  // namespace player_settings

struct PlayerSettings {
    std::string traceDirectory;  // normalised, ending in '/'
    int32_t debugLevel = player_settings::kDefaultDebugLevel;
};

// The configuration file under the system drive root, such as "C:/tavo/cfg/TAVO.cfg".
std::string ConfigFilePath(const std::string& driveRoot);

// The settings the file gives, each key missing from it replaced by its default.
PlayerSettings ReadPlayerSettings(const std::string& configFile);

// A debug level as written in the file: leading white space, an optional sign
// and the leading digits, like atoi; text without digits gives 0. Values
// beyond 32 bits saturate instead of being undefined.
int32_t ParseDebugLevel(const std::string& text);
