#include "bridge/plugin_logs.h"

#include "config/paths.h"
#include "config/player_settings.h"

namespace bridge {

TraceLog PluginLogs(bool initialised)
{
    TraceLog logs;
    std::string root;
    if (!initialised || GetSystemDriveRoot(root) != 0) return logs;
    const PlayerSettings settings = ReadPlayerSettings(ConfigFilePath(root));
    logs.SetRuntimeLogPath(settings.traceDirectory + player_settings::kRuntimeLogName);
    logs.SetErrorLogPath(settings.traceDirectory + player_settings::kErrorLogName);
    return logs;
}

std::string PluginLogDirectory(bool initialised)
{
    const std::string file = PluginLogs(initialised).ErrorLogPath();
    const std::size_t slash = file.find_last_of("/\\");
    return slash == std::string::npos ? "" : file.substr(0, slash + 1);
}

}  // namespace bridge
