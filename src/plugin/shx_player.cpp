#include "plugin/shx_player.h"

#include "config/paths.h"
#include "config/player_settings.h"
#include "trace/log_texts.h"
#include "vendor/shx_strm.h"

const char kReportingSource[] = ".\\Src\\MyPelShxPlaySDK";

void PortRecord::ResetVideoParams()
{
    for (int i = 1; i <= 4; ++i) videoParams[i] = VIDEO_PARAM_DEFAULT;
}

int32_t PELSHX_STDCALL ShxPlayer::Play_Init(int32_t /*value*/)
try {
    std::string root;
    if (GetSystemDriveRoot(root) != 0) return -1;
    const PlayerSettings settings = ReadPlayerSettings(ConfigFilePath(root));
    CreateDirectoryTree(settings.traceDirectory);  // the logs are simply lost while it is missing
    // Without both paths the records would split between old and new logs:
    // the host is told that initialisation failed.
    if (!trace.SetRuntimeLogPath(settings.traceDirectory + player_settings::kRuntimeLogName)) return PLAY_ERR_UNKNOWN;
    if (!trace.SetErrorLogPath(settings.traceDirectory + player_settings::kErrorLogName)) return PLAY_ERR_UNKNOWN;
    debugLevel = settings.debugLevel;

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

void ShxPlayer::WriteEntryRecordNow(const Operation& operation) noexcept
{
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

int32_t ShxPlayer::ReportUnbound(const Operation& operation, int32_t line)
{
    return TranslateShxResult(kReportingSource, line, 0, std::string(operation.name) + "()");
}
