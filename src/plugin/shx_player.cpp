#include "plugin/shx_player.h"

#include "config/paths.h"
#include "config/player_settings.h"
#include "trace/log_texts.h"

const char kReportingSource[] = ".\\Src\\MyPelShxPlaySDK";

int32_t ShxPlayer::Init()
{
    std::string root;
    if (GetSystemDriveRoot(root) != 0) return -1;
    const PlayerSettings settings = ReadPlayerSettings(ConfigFilePath(root));
    CreateDirectoryTree(settings.traceDirectory);  // the logs are simply lost while it is missing
    // Without both paths the records would split between old and new logs:
    // the host is told that initialisation failed.
    if (!trace.SetRuntimeLogPath(settings.traceDirectory + player_settings::kRuntimeLogName)) return PLAY_ERR_UNKNOWN;
    if (!trace.SetErrorLogPath(settings.traceDirectory + player_settings::kErrorLogName)) return PLAY_ERR_UNKNOWN;
    debugLevel = settings.debugLevel;

    if (const int32_t status = SHX_PlayStrm_Init())
        ReportError(__LINE__, {kShxFunctionNames[SHX_INIT], "() error"}, status);
    return 0;
}

int32_t ShxPlayer::Uninit()
{
    SHX_PlayStrm_Uninit();
    trace.WriteWaitingRecords();
    return 0;
}

void ShxPlayer::WriteEntryRecordNow(const Operation& operation) noexcept
{
    trace.WriteRuntime(operation.description, operation.name, "", "", "", "");
}

void ShxPlayer::ReportError(int32_t line, TraceLog::Pieces text, int32_t code) noexcept
{
    trace.WriteError(kReportingSource, line, code, text);
}

int32_t ShxPlayer::Refuse(int32_t line, const char* text, int32_t result) noexcept
{
    ReportError(line, {text});
    return result;
}

int32_t ShxPlayer::RejectArgument(int32_t line) noexcept
{
    return Refuse(line, texts::kBadArgument, PLAY_ERR_PARAM);
}
