#include "plugin/shx_player.h"

#include "config/config_reader.h"
#include "config/paths.h"
#include "trace/log_texts.h"
#include "vendor/shx_strm.h"

#include <climits>
#include <cstdlib>

const char kReportingSource[] = ".\\Src\\MyPelShxPlaySDK";

namespace {

const char kDefaultTraceDirectory[] = "c:/tamsi/";
const char kRuntimeLogName[] = "PelShx_Player_Runtime.log";
const char kErrorLogName[] = "PelShx_Player_Error.log";

// Leading white space, an optional sign and the leading digits, like atoi;
// text without digits gives 0. Values beyond 32 bits saturate instead of
// being undefined.
int32_t ParseLevel(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

void PortRecord::ResetVideoParams()
{
    for (int i = 1; i <= 4; ++i) videoParams[i] = VIDEO_PARAM_DEFAULT;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Init(int32_t /*value*/)
try {
    std::string root;
    if (GetSystemDriveRoot(root) != 0) return -1;
    const std::string configFile = root + "tavo/" + "cfg/" + "TAVO.cfg";

    std::string traceDirectory;
    if (ReadConfigValue(configFile, "GLOBAL", "TRACE_PATH", traceDirectory) != 0)
        traceDirectory = kDefaultTraceDirectory;
    NormaliseDirPath(traceDirectory);
    CreateDirectoryTree(traceDirectory);  // the logs are simply lost while it is missing
    // Without both paths the records would split between old and new logs:
    // the host is told that initialisation failed.
    if (!trace.SetRuntimeLogPath(traceDirectory + kRuntimeLogName)) return PLAY_ERR_UNKNOWN;
    if (!trace.SetErrorLogPath(traceDirectory + kErrorLogName)) return PLAY_ERR_UNKNOWN;

    std::string level;
    debugLevel = ReadConfigValue(configFile, "GLOBAL", "DEBUG_LEVEL", level) == 0 ? ParseLevel(level) : 0;

    if (const int32_t status = SHX_PlayStrm_Init()) ReportError(__LINE__, "SHX_PlayStrm_Init() error", status);
    return 0;
} catch (...) {
    return PLAY_ERR_UNKNOWN;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Uninit()
{
    SHX_PlayStrm_Uninit();
    return 0;
}

void ShxPlayer::WriteEntryRecord(const Operation& operation) noexcept
{
    if (debugLevel < operation.entryLevel) return;
    try {
        trace.WriteRuntime(operation.description, operation.name, "", "", "", "");
    } catch (...) {
    }
}

void ShxPlayer::ReportError(int32_t line, const char* text, int32_t code) noexcept
{
    try {
        trace.WriteError(kReportingSource, line, code, text);
    } catch (...) {
    }
}

int32_t ShxPlayer::Refuse(int32_t line, const char* text, int32_t result) noexcept
{
    ReportError(line, text);
    return result;
}

int32_t ShxPlayer::RejectArgument(int32_t line) noexcept
{
    return Refuse(line, texts::kBadArgument, PLAY_ERR_PARAM);
}

int32_t ShxPlayer::BeginOnPort(const Operation& operation, int32_t port, int32_t line) noexcept
{
    WriteEntryRecord(operation);
    return IsValidPort(port) ? PLAY_OK : RejectArgument(line);
}

int32_t ShxPlayer::BeginOnChannel(const Operation& operation, int32_t port, int32_t& channel, int32_t line)
{
    if (const int32_t result = BeginOnPort(operation, port, line)) return result;
    if (FindChannel(port, channel)) return PLAY_OK;
    return TranslateShxResult(kReportingSource, line, 0, std::string(operation.name) + "()");
}
