#include "installation_check.h"

#include "config_diagnosis.h"
#include "helper_folder_check.h"
#include "host_platform.h"
#include "player_library.h"

#include "config/paths.h"
#include "config/player_settings.h"
#include "platform/platform.h"
#include "trace/trace_log.h"
#include "vendor/shx_strm.h"

#include <cstdint>

namespace {

// True when the plug-in loaded with both exports.
bool CheckPlugin(PlayerLibrary& library, const std::string& path, PluginProblem& problem, Findings& findings)
{
    if (!library.Load(path, problem)) {
        findings.Problem("plug-in", "cannot use \"" + path + "\": " + problem.finding, problem.advice);
        return false;
    }
    const std::string file = library.File();
    if (host_platform::FileVersion(file).empty())
        findings.Note("plug-in", "loaded " + file + ", " + VersionText(file),
                      "use a released build, which carries its version");
    else
        findings.Ok("plug-in", "loaded " + file + ", " + VersionText(file));
    findings.Ok("plug-in", "exports CreateSinglePlayerDll and ReleaseSinglePlayerDll");
    return true;
}

// The vendor library as the loaded plug-in brought it in.
void CheckLoadedVendor(Findings& findings)
{
    void* vendor = host_platform::LoadedVendorLibrary();
    if (vendor == nullptr) {
        findings.Problem("vendor library", "the plug-in brought in none", "use the plug-in PelShx_PlaySDK");
        return;
    }
    const std::string file = host_platform::LoadedLibraryFile(vendor);
    findings.Ok("vendor library", "loaded with the plug-in from " + file + ", " + VersionText(file));
    std::string missing;
    for (const char* function : kShxFunctionNames)
        if (host_platform::FindSymbol(vendor, function) == nullptr)
            missing += std::string(missing.empty() ? "" : ", ") + function;
    if (missing.empty())
        findings.Ok("vendor library", "exports all " + std::to_string(SHX_FUNCTION_COUNT) + " functions the plug-in calls");
    else
        findings.Problem("vendor library", "lacks " + missing, "install the vendor's own SHXStrm library");
    if (host_platform::FindSymbol(vendor, "ShxStandin_GetCall") != nullptr)
        findings.Note("vendor library", "this is the project's stand-in, not the vendor's library",
                      "install the vendor's SHXStrm.dll for real playback");
}

// The vendor library on its own, when the plug-in could not be loaded.
void CheckVendorAlone(const PluginProblem& problem, Findings& findings)
{
    if (problem.vendorFile.empty())
        findings.Problem("vendor library", std::string(host_platform::VendorLibraryName()) + " not found",
                         "put the vendor's library beside the plug-in");
    else if (!problem.vendorError.empty())
        findings.Problem("vendor library", problem.vendorFile + " cannot be loaded: " + problem.vendorError,
                         "replace it with an intact copy of the vendor's library for this system");
    else
        findings.Ok("vendor library", "found at " + problem.vendorFile + " and loadable");
}

// Paths here are the plug-in's own, in the ANSI code page, and are looked at
// with its own functions: a path object would convert their two-byte names.
bool IsDirectory(const std::string& path)
{
    return DirectoryExists(path + "/");
}

// The nearest of the directory's parents that exists, file or directory; "" when none does.
std::string NearestExistingParent(std::string path)
{
    path.pop_back();  // the directory's trailing slash
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0; slash = path.rfind('/')) {
        path.resize(slash);
        if (platform::FindsEntry(path) || IsDirectory(path)) return path;
    }
    return "";
}

// True when records can be written to the directory once Play_Init has run.
bool CheckTraceDirectory(const std::string& directory, Findings& findings)
{
    if (DirectoryExists(directory)) {
        findings.Ok("logs", "trace directory " + directory + " exists");
        return true;
    }
    const std::string existing = NearestExistingParent(directory);
    if (!existing.empty() && !IsDirectory(existing)) {
        findings.Problem("logs",
                         "trace directory " + directory + " cannot be made: " + existing +
                             " is a file, so every record is lost",
                         "rename or remove that file, or set [TRACE_PATH] to another directory");
    } else if (!existing.empty() && host_platform::CanCreateFileIn(existing)) {
        findings.Note("logs", "trace directory " + directory + " does not exist yet; Play_Init can create it",
                      "nothing, or create it now");
    } else {
        findings.Problem("logs", "trace directory " + directory + " does not exist and cannot be created",
                         "create it, or set [TRACE_PATH] to a directory the host may write in");
    }
    return false;
}

// Opened as the plug-in opens it, appending nothing: the log stays as it is.
void CheckLog(const std::string& directory, const char* name, bool directoryExists, Findings& findings)
{
    const std::string log = directory + name;
    if (IsDirectory(log)) {
        findings.Problem("logs", log + " is a directory, so that log is lost", "rename or remove that directory");
        return;
    }
    const std::int64_t size = platform::FileSize(log);
    if (size < 0) {
        if (directoryExists && !host_platform::CanCreateFileIn(directory))
            findings.Problem("logs", log + " cannot be created", "let the host's account write in the trace directory");
        else
            findings.Ok("logs", log + " not there yet; the first record makes it");
    } else if (platform::AppendToFile(log, "", 0) >= 0) {
        findings.Ok("logs", log + " can be appended to, " + std::to_string(size) + " bytes");
    } else {
        findings.Problem("logs", log + " cannot be appended to (" + std::to_string(size) + " bytes)",
                         "make it writable for the host's account");
    }
    const std::int64_t backup = platform::FileSize(log + ".bak");
    if (backup >= 0)
        findings.Note("logs",
                      log + ".bak exists, " + std::to_string(backup) + " bytes: the log has moved aside past " +
                          std::to_string(TraceLog::LOG_ROTATE_SIZE / 1048576) + " MiB",
                      "read it too for older records");
}

void CheckLogs(const std::string& configFile, Findings& findings)
{
    const PlayerSettings settings = ReadPlayerSettings(configFile);
    // An empty trace path is judged with the configuration: the logs' place depends on each host.
    const bool traced = !settings.traceDirectory.empty();
    const bool directoryExists = traced && CheckTraceDirectory(settings.traceDirectory, findings);
    if (settings.debugLevel <= 0)
        findings.Note("logs",
                      "debug level " + std::to_string(settings.debugLevel) +
                          ": only errors are logged; with no error there is no log at all",
                      "set [DEBUG_LEVEL] [1] to log every call");
    else
        findings.Ok("logs", "debug level " + std::to_string(settings.debugLevel));
    if (traced) {
        CheckLog(settings.traceDirectory, player_settings::kRuntimeLogName, directoryExists, findings);
        CheckLog(settings.traceDirectory, player_settings::kErrorLogName, directoryExists, findings);
    }
    const TraceLog early;
    findings.Note("logs",
                  "records made before Play_Init go to " + early.RuntimeLogPath() + " and " + early.ErrorLogPath(),
                  "look there for errors of calls made before Play_Init");
}

}  // namespace

bool CheckInstallation(const std::string& pluginPath, std::ostream& out)
{
    Findings findings(out);
    PlayerLibrary library;
    PluginProblem problem;
    const bool loaded = CheckPlugin(library, pluginPath, problem, findings);
    if (host_platform::PluginRunsInHelper()) {
        const std::string found = host_platform::FindLibraryFile(pluginPath);
        CheckHelperFolder(loaded ? library.File() : found.empty() ? pluginPath : found, findings);
    } else if (loaded) {
        CheckLoadedVendor(findings);
    } else {
        CheckVendorAlone(problem, findings);
    }

    std::string root;
    if (GetSystemDriveRoot(root) != 0) {
        findings.Problem("configuration", "the system drive cannot be found; Play_Init fails with -1",
                         "run on a working Windows installation");
    } else {
        const std::string configFile = ConfigFilePath(root);
        DiagnoseConfigFile(configFile, findings);
        CheckLogs(configFile, findings);
    }
    if (findings.Problems() == 0)
        out << "verdict: the installation is sound\n";
    else
        out << "verdict: " << findings.Problems() << (findings.Problems() == 1 ? " problem" : " problems")
            << " found, first " << findings.FirstProblem() << '\n';
    return findings.Problems() == 0;
}
