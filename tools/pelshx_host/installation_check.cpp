#include "installation_check.h"

#include "config_diagnosis.h"
#include "findings.h"
#include "host_platform.h"
#include "player_library.h"

#include "config/paths.h"
#include "config/player_settings.h"
#include "platform/platform.h"
#include "trace/trace_log.h"
#include "vendor/shx_strm.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr uint16_t kMachineI386 = 0x14c;
const char kProbeRecord[] = "pelshx_host --check\n";

// True when the plug-in loaded with both exports.
bool CheckPlugin(PlayerLibrary& library, const std::string& path, Findings& findings)
{
    PluginProblem problem;
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

// The vendor library as the loaded plug-in brought it in: loading the plug-in
// bound every function it calls there.
void CheckLoadedVendor(Findings& findings)
{
    void* vendor = host_platform::LoadedVendorLibrary();
    if (vendor == nullptr) {
        findings.Problem("vendor library", "the plug-in brought in none", "use the plug-in PelShx_PlaySDK");
        return;
    }
    const std::string file = host_platform::LoadedLibraryFile(vendor);
    findings.Ok("vendor library", "loaded with the plug-in from " + file + ", " + VersionText(file) + "; it exports all " +
                                      std::to_string(SHX_FUNCTION_COUNT) + " functions the plug-in calls");
    if (host_platform::FindSymbol(vendor, "ShxStandin_GetCall") != nullptr)
        findings.Note("vendor library", "this is the project's stand-in, not the vendor's library",
                      "install the vendor's SHXStrm.dll for real playback");
}

// The machine a Windows program or library is built for; 0 when the file is
// none (or cannot be read).
uint16_t PeMachine(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    unsigned char header[64] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'M' || header[1] != 'Z') return 0;
    const uint32_t peOffset = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | static_cast<uint32_t>(header[0x3F]) << 24;
    unsigned char pe[6] = {};
    if (!in.seekg(peOffset) || !in.read(reinterpret_cast<char*>(pe), sizeof pe) || pe[0] != 'P' || pe[1] != 'E' ||
        pe[2] != 0 || pe[3] != 0)
        return 0;
    return static_cast<uint16_t>(pe[4] | pe[5] << 8);
}

// The 64-bit plug-in runs the 32-bit one in a helper, from the x86 folder
// beside it: the helper, the 32-bit plug-in and the vendor library, each
// there and built for 32-bit Windows.
void CheckHelperFolder(const std::string& pluginFile, Findings& findings)
{
    const char kWholeFolder[] = "put the package's bin/x86 folder, whole, beside the 64-bit PelShx_PlaySDK.dll";
    const struct {
        const char* subject;
        const char* file;
        const char* advice;
    } parts[] = {{"helper", "pelshx_bridge32.exe", kWholeFolder},
                 {"32-bit plug-in", "PelShx_PlaySDK.dll", kWholeFolder},
                 {"vendor library", "SHXStrm.dll", "put the vendor's 32-bit SHXStrm.dll into the x86 folder"}};
    const std::string folder = FolderOf(pluginFile) + "\\x86";
    if (!DirectoryExists(folder + "/")) {
        findings.Problem("helper", "no folder " + folder + ": the 64-bit plug-in runs the 32-bit one from it", kWholeFolder);
        return;
    }
    findings.Ok("helper", "the 64-bit plug-in runs the 32-bit one in a helper, from " + folder);
    for (const auto& part : parts) {
        const std::string file = folder + "\\" + part.file;
        if (platform::FileSize(file) < 0)
            findings.Problem(part.subject, file + " is missing", part.advice);
        else if (PeMachine(file) != kMachineI386)
            findings.Problem(part.subject, file + " is not built for 32-bit Windows", part.advice);
        else
            findings.Ok(part.subject, file + ", " + VersionText(file));
    }
}

// Why no record could be written in the directory, which CreateDirectoryTree
// answered with `created`.
std::string WhyNoRecord(const std::string& directory, int created)
{
    for (std::size_t slash = directory.find('/'); slash != std::string::npos; slash = directory.find('/', slash + 1))
        if (platform::FileSize(directory.substr(0, slash)) >= 0) return directory.substr(0, slash) + " is a file";
    if (created != 0) return "it cannot be created";
    if (DirectoryExists(directory)) return "the host may not write in it";
    return "the system does not keep that name as written (a trailing dot or space, a wildcard, a \\\\?\\ or "
           "\\\\.\\ prefix): what is made under it is not found again";
}

// An existing log is opened as the plug-in opens it and nothing is appended;
// a full log must be able to replace the one moved aside before it.
void CheckLog(const std::string& log, Findings& findings)
{
    const std::int64_t size = platform::FileSize(log);
    const std::string backup = log + ".bak";
    const std::string limit = std::to_string(TraceLog::LOG_ROTATE_SIZE / 1048576) + " MiB";
    if (DirectoryExists(log + "/"))
        findings.Problem("logs", log + " is a directory, so that log is lost", "rename or remove that directory");
    else if (size < 0)
        findings.Ok("logs", log + " not there yet; the first record makes it");
    else if (platform::AppendToFile(log, "", 0) >= 0)
        findings.Ok("logs", log + " can be appended to, " + std::to_string(size) + " bytes");
    else
        findings.Problem("logs", log + " cannot be appended to (" + std::to_string(size) + " bytes)",
                         "make it writable for the host's account");
    if (!platform::FindsEntry(backup)) return;
    if (host_platform::CanBeReplaced(backup))
        findings.Note("logs",
                      backup + " exists, " + std::to_string(platform::FileSize(backup)) +
                          " bytes: the log has moved aside past " + limit,
                      "read it too for older records");
    else
        findings.Problem("logs", backup + " cannot be replaced, so past " + limit + " the log is never moved aside",
                         "remove it, or let the host's account replace it");
}

// What Play_Init and the logs will do in the trace directory, done and then
// undone: the missing folders made with the plug-in's own function, a record
// appended to a scratch log, which is then moved aside as a full log is.
void TryTraceDirectory(const std::string& directory, Findings& findings)
{
    std::vector<std::string> made;
    const int created = CreateDirectoryTree(directory, &made);
    const std::string scratch = directory + "pelshx_host_check_" + std::to_string(host_platform::ProcessId()) + ".tmp";
    const std::string moved = scratch + ".bak";
    if (platform::AppendToFile(scratch, kProbeRecord, sizeof kProbeRecord - 1) <= 0) {
        findings.Problem("logs",
                         "no record can be written in trace directory " + directory + ": " +
                             WhyNoRecord(directory, created) + "; every record is lost",
                         "set [TRACE_PATH] to a plainly named directory the host may write in");
    } else {
        platform::MoveReplacing(scratch, moved);
        if (made.empty())
            findings.Ok("logs", "trace directory " + directory + " exists; records can be written in it");
        else
            findings.Note("logs", "trace directory " + directory + " does not exist yet; Play_Init creates it",
                          "nothing, or create it now");
        if (platform::FileSize(moved) < 0)
            findings.Problem("logs", "a full log cannot be moved aside in " + directory + ", so the logs grow without end",
                             "let the host's account rename and delete files in the trace directory");
        CheckLog(directory + player_settings::kRuntimeLogName, findings);
        CheckLog(directory + player_settings::kErrorLogName, findings);
    }
    std::string left;
    for (const std::string& file : {scratch, moved})
        if (std::remove(file.c_str()) != 0 && platform::FindsEntry(file)) left += " " + file;
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder)  // innermost first
        if (!host_platform::RemoveEmptyDirectory(*folder)) left += " " + *folder;
    if (!left.empty()) findings.Note("logs", "this check could not remove what it made:" + left, "remove it by hand");
}

void CheckLogs(const std::string& configFile, Findings& findings)
{
    const PlayerSettings settings = ReadPlayerSettings(configFile);
    // A relative trace path is judged with the configuration: the logs' place depends on each host.
    if (host_platform::IsAbsolutePath(settings.traceDirectory)) TryTraceDirectory(settings.traceDirectory, findings);
    if (settings.debugLevel <= 0)
        findings.Note("logs",
                      "debug level " + std::to_string(settings.debugLevel) +
                          ": only errors are logged; with no error there is no log at all",
                      "set [DEBUG_LEVEL] [1] to log every call");
    else
        findings.Ok("logs", "debug level " + std::to_string(settings.debugLevel));
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
    const bool loaded = CheckPlugin(library, pluginPath, findings);
    if (host_platform::kPluginRunsInHelper) {
        const std::string found = host_platform::FindLibraryFile(pluginPath);
        CheckHelperFolder(loaded ? library.File() : found.empty() ? pluginPath : found, findings);
    } else if (loaded) {
        CheckLoadedVendor(findings);
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
    return findings.Verdict();
}
