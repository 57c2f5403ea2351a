#include "bridge/helper_link.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace bridge {

namespace {

// False, with the system's error code of the call that just failed.
bool SystemFailure(StartProblem& problem, const char* what, uint32_t code = GetLastError())
{
    problem.systemError = code;
    problem.text = std::string(what) + " failed with system error " + std::to_string(code);
    return false;
}

// Handles the helper inherits: made inheritable, and handed only to it.
SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};

HANDLE NewSection(uint32_t size)
{
    return CreateFileMappingW(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, size, nullptr);
}

// In the system's ANSI code page, as the logs are written.
std::string Narrow(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return "";
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size) - 1);
    return narrow;
}

std::wstring Number(const void* handle)
{
    return std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
}

// What kept a started helper from being ready; its folder holds the files it loads.
std::string StartFailure(int32_t state, const std::wstring& folder)
{
    switch (state) {
    case kVendorNotLoaded: return Narrow(folder + kVendorFile) + " cannot be loaded";
    case kPluginNotLoaded: return Narrow(folder + kPluginFile) + " cannot be loaded";
    case kNoExports: return Narrow(folder + kPluginFile) + " lacks its exports";
    case kNoPlayer: return "the 32-bit plug-in made no player";
    case kBadCommandLine: return "it was started wrongly";
    default: return "it ended before it was ready";
    }
}

}  // namespace

HelperLink::~HelperLink()
{
    Stop();
    if (data != nullptr) UnmapViewOfFile(data);
    if (control != nullptr) UnmapViewOfFile(control);
    for (HANDLE handle : {dataSection, controlSection, requestEvent, responseEvent, hostProcess, job})
        if (handle != nullptr) CloseHandle(handle);
}

bool HelperLink::Prepare(StartProblem& problem)
{
    controlSection = NewSection(sizeof(ControlBlock));
    if (controlSection == nullptr) return SystemFailure(problem, "CreateFileMapping");
    control = static_cast<ControlBlock*>(MapViewOfFile(controlSection, FILE_MAP_WRITE, 0, 0, sizeof(ControlBlock)));
    if (control == nullptr) return SystemFailure(problem, "MapViewOfFile");
    dataSection = NewSection(kInitialDataSize);
    if (dataSection == nullptr || !MapData(dataSection, kInitialDataSize))
        return SystemFailure(problem, "CreateFileMapping");
    requestEvent = CreateEventW(&inheritable, FALSE, FALSE, nullptr);
    responseEvent = CreateEventW(&inheritable, FALSE, FALSE, nullptr);
    if (requestEvent == nullptr || responseEvent == nullptr) return SystemFailure(problem, "CreateEvent");
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &hostProcess, SYNCHRONIZE,
                         TRUE, 0))
        return SystemFailure(problem, "DuplicateHandle");
    // The helper is ended by the system when this process ends and the job's
    // last handle closes, whatever the helper is doing, even while it starts.
    job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr && !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        job = nullptr;
    }
    control->version = kProtocolVersion;
    return true;
}

bool HelperLink::MapData(void* section, uint32_t size)
{
    void* view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, size);
    if (view == nullptr) return false;
    if (data != nullptr) UnmapViewOfFile(data);
    data = static_cast<uint8_t*>(view);
    dataSize = size;
    return true;
}

bool HelperLink::Start(const std::wstring& helperFile, StartProblem& problem)
{
    ResetEvent(requestEvent);
    ResetEvent(responseEvent);
    control->startState = kStarting;
    control->startError = 0;
    control->crashCode = 0;

    HANDLE handles[] = {controlSection, dataSection, requestEvent, responseEvent, hostProcess};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 2, 0, &listSize);
    std::vector<unsigned char> listBytes(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    if (!InitializeProcThreadAttributeList(list, 2, 0, &listSize) ||
        !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, sizeof handles, nullptr,
                                   nullptr))
        return SystemFailure(problem, "UpdateProcThreadAttribute");
    // The helper is made in the job, so that no moment exists in which this
    // process could end and leave it behind. Before Windows 10 it is made
    // suspended and put into the job before it runs.
    const bool madeInJob = job != nullptr && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job,
                                                                       sizeof job, nullptr, nullptr);

    std::wstring commandLine = L"\"" + helperFile + L"\" " + Number(controlSection) + L" " + Number(dataSection) +
                               L" " + std::to_wstring(dataSize) + L" " + Number(requestEvent) + L" " +
                               Number(responseEvent) + L" " + Number(hostProcess);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = list;
    PROCESS_INFORMATION started = {};
    const BOOL created = CreateProcessW(helperFile.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                        EXTENDED_STARTUPINFO_PRESENT | (madeInJob ? 0 : CREATE_SUSPENDED), nullptr,
                                        nullptr, &startup.StartupInfo, &started);
    const DWORD createError = GetLastError();
    DeleteProcThreadAttributeList(list);
    if (!created)
        return SystemFailure(problem, ("cannot start " + Narrow(helperFile) + ": CreateProcess").c_str(), createError);
    if (!madeInJob) {
        // Without the job (a host in a job that allows no other) the helper
        // still ends with the host: it watches the host's handle itself.
        if (job != nullptr) AssignProcessToJobObject(job, started.hProcess);
        ResumeThread(started.hThread);
    }
    CloseHandle(started.hThread);
    process = started.hProcess;

    const DWORD woken = Wait(kStartMilliseconds);
    if (woken == WAIT_OBJECT_0 && control->startState == kReady) return true;
    const int32_t state = control->startState;
    const uint32_t error = control->startError;
    const bool late = woken == WAIT_TIMEOUT;
    EndHelper(late ? kWatchdogExitCode : 0);
    const std::wstring folder = helperFile.substr(0, helperFile.find_last_of(L"\\/") + 1);
    problem.text = "the helper was not ready: " + (late ? "it did not answer in time" : StartFailure(state, folder));
    if (error != 0) problem.text += " (system error " + std::to_string(error) + ")";
    problem.text += ", exit code " + std::to_string(lastExitCode);
    // A helper that failed without a system error code still leaves one for the host.
    problem.systemError = error != 0 ? error : late ? ERROR_TIMEOUT : ERROR_PROCESS_ABORTED;
    return false;
}

DWORD HelperLink::Wait(uint32_t milliseconds)
{
    HANDLE handles[] = {responseEvent, process};
    const ULONGLONG start = GetTickCount64();
    DWORD left = milliseconds;
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjectsEx(2, handles, left, QS_SENDMESSAGE, 0);
        if (woken != WAIT_OBJECT_0 + 2) return woken;
        // A message sent to one of the host's windows, perhaps by the helper:
        // served here, or the helper would wait for it for good.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const ULONGLONG spent = GetTickCount64() - start;
        left = spent >= milliseconds ? 0 : static_cast<DWORD>(milliseconds - spent);
    }
}

HelperLink::Outcome HelperLink::Call()
{
    if (process == nullptr) return Outcome::NotTaken;
    const uint32_t sequence = ++control->sequence;
    SetEvent(requestEvent);
    DWORD woken = Wait(kWatchdogMilliseconds);
    if (woken == WAIT_OBJECT_0) return Outcome::Answered;
    // A helper in its crash handler is writing its dump: it is given the time.
    if (woken == WAIT_TIMEOUT && control->crashCode != 0) woken = Wait(kDumpMilliseconds);
    if (woken == WAIT_OBJECT_0 + 1) return Ended(control->taken == sequence);
    if (woken == WAIT_OBJECT_0) return Outcome::Answered;
    const bool crashing = control->crashCode != 0;
    EndHelper(kWatchdogExitCode);
    return crashing ? Outcome::Ended : Outcome::Hung;
}

HelperLink::Outcome HelperLink::Ended(bool taken)
{
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    EndHelper(exitCode);
    return taken ? Outcome::Ended : Outcome::NotTaken;
}

void HelperLink::EndHelper(uint32_t exitCode)
{
    if (process == nullptr) return;
    TerminateProcess(process, exitCode);
    WaitForSingleObject(process, kWatchdogMilliseconds);
    DWORD code = exitCode;
    GetExitCodeProcess(process, &code);
    lastExitCode = code;
    CloseHandle(process);
    process = nullptr;
}

HelperLink::Outcome HelperLink::GrowData(uint32_t size)
{
    uint32_t grown = dataSize;
    while (grown < size) grown *= 2;
    if (grown > kMaxCallData) grown = kMaxCallData;
    HANDLE section = NewSection(grown);
    if (section == nullptr) return Outcome::Answered;  // the caller sees the capacity unchanged
    HANDLE inHelper = nullptr;
    if (process != nullptr) {
        if (!DuplicateHandle(GetCurrentProcess(), section, process, &inHelper, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            CloseHandle(section);
            return Outcome::Answered;
        }
        control->request = kMapData;
        control->args[0] = static_cast<int32_t>(reinterpret_cast<uintptr_t>(inHelper));
        control->args[1] = static_cast<int32_t>(grown);
        const Outcome outcome = Call();
        if (outcome != Outcome::Answered || control->result != 0) {
            CloseHandle(section);
            return outcome;
        }
    }
    if (!MapData(section, grown)) {
        CloseHandle(section);
        return Outcome::Answered;
    }
    CloseHandle(dataSection);
    dataSection = section;
    return Outcome::Answered;
}

void HelperLink::Stop()
{
    if (process == nullptr) return;
    control->request = kRelease;
    if (Call() == Outcome::Answered) WaitForSingleObject(process, kWatchdogMilliseconds);
    EndHelper(0);
}

std::wstring HelperProgramFile()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&HelperProgramFile), &self);
    std::wstring file(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, &file[0], static_cast<DWORD>(file.size()));
        if (length == 0) return L"";
        if (length < file.size()) {
            file.resize(length);
            break;
        }
        file.resize(file.size() * 2);
    }
    const std::size_t separator = file.find_last_of(L"\\/");
    file.resize(separator == std::wstring::npos ? 0 : separator + 1);
    return file + L"x86\\pelshx_bridge32.exe";
}

}  // namespace bridge
