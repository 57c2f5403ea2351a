#include "config/player_settings.h"

#include "config/config_reader.h"
#include "config/paths.h"

#include <climits>
#include <cstdlib>

std::string ConfigFilePath(const std::string& driveRoot)
{
    return driveRoot + player_settings::kConfigFile;
}

PlayerSettings ReadPlayerSettings(const std::string& configFile)
{
    using namespace player_settings;
    PlayerSettings settings;
    if (ReadConfigValue(configFile, kSection, kTracePathKey, settings.traceDirectory) != 0)
        settings.traceDirectory = kDefaultTraceDirectory;
    NormaliseDirPath(settings.traceDirectory);
    std::string level;
    if (ReadConfigValue(configFile, kSection, kDebugLevelKey, level) == 0) settings.debugLevel = ParseDebugLevel(level);
    return settings;
}

int32_t ParseDebugLevel(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}
