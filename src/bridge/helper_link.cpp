#include "bridge/helper_link.h"

#include "bridge/sent_messages.h"

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
    case kNoWindow: return "it could not make its window for nested calls";
    default: return "it ended before it was ready";
    }
}

// PELSHX_BRIDGE_HANDOVER=event: no poll on either side, the events alone, as
// a comparison for the poll's measurements.
bool HandOverThroughEventsAlone()
{
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"PELSHX_BRIDGE_HANDOVER", value, 8);
    return length < 8 && std::wcscmp(value, L"event") == 0;
}

}  // namespace

HelperLink::~HelperLink()
{
    Stop();
    for (DataView& view : data) Discard(view);
    if (control != nullptr) UnmapViewOfFile(control);
    for (HANDLE handle : {controlSection, requestEvent, responseEvent, hostProcess, job})
        if (handle != nullptr) CloseHandle(handle);
}

bool HelperLink::Prepare(StartProblem& problem)
{
    controlSection = NewSection(sizeof(ControlBlock));
    if (controlSection == nullptr) return SystemFailure(problem, "CreateFileMapping");
    control = static_cast<ControlBlock*>(MapViewOfFile(controlSection, FILE_MAP_WRITE, 0, 0, sizeof(ControlBlock)));
    if (control == nullptr) return SystemFailure(problem, "MapViewOfFile");
    if (!NewDataView(data[0], kInitialDataSize)) return SystemFailure(problem, "CreateFileMapping");
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
    control->pollMicroseconds = HandOverThroughEventsAlone() ? 0 : kPollMicroseconds;
    answers = PollBudget(ClockTicks(control->pollMicroseconds));
    messageLookTicks = ClockTicks(kMessageLookMicroseconds);
    return true;
}

bool HelperLink::NewDataView(DataView& view, uint32_t size)
{
    view.section = NewSection(size);
    view.bytes = view.section != nullptr ? static_cast<uint8_t*>(MapViewOfFile(view.section, FILE_MAP_WRITE, 0, 0, size))
                                         : nullptr;
    view.size = view.bytes != nullptr ? size : 0;
    if (view.bytes != nullptr) return true;
    Discard(view);
    return false;
}

void HelperLink::Discard(DataView& view)
{
    if (view.bytes != nullptr) UnmapViewOfFile(view.bytes);
    if (view.section != nullptr) CloseHandle(view.section);
    view = DataView();
}

bool HelperLink::Start(const std::wstring& helperFile, StartProblem& problem)
{
    ResetEvent(requestEvent);
    ResetEvent(responseEvent);
    control->startState = kStarting;
    control->startError = 0;
    control->helperWindow = 0;
    control->crashCode = 0;
    control->helperAsleep = 0;
    control->bridgeAsleep = 0;
    // A new helper is told of depth 0's data section alone; the others are
    // made again when a nested call needs one.
    for (uint32_t depth = 1; depth < kMaxDepth; ++depth) Discard(data[depth]);
    // The helper answers this sequence of depth 0 when it is ready.
    CallRecord& first = Record(0);
    const uint32_t sequence = first.sequence + 1;
    first.handedAt = HandOverClock();
    first.sequence = sequence;

    HANDLE handles[] = {controlSection, data[0].section, requestEvent, responseEvent, hostProcess};
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

    std::wstring commandLine = L"\"" + helperFile + L"\" " + Number(controlSection) + L" " + Number(data[0].section) +
                               L" " + std::to_wstring(data[0].size) + L" " + Number(requestEvent) + L" " +
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
    ++helpersStarted;

    const Outcome outcome = Await(first, sequence, kStartMilliseconds, 0);
    if (outcome == Outcome::Answered && control->startState == kReady) {
        // A window handle crosses as its 32-bit value, widened as Windows widens handles.
        helperWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(control->helperWindow)));
        return true;
    }
    const int32_t state = control->startState;
    const uint32_t error = control->startError;
    const bool late = outcome == Outcome::Hung;
    EndHelper(0);
    const std::wstring folder = helperFile.substr(0, helperFile.find_last_of(L"\\/") + 1);
    problem.text = "the helper was not ready: " + (late ? "it did not answer in time" : StartFailure(state, folder));
    if (error != 0) problem.text += " (system error " + std::to_string(error) + ")";
    problem.text += ", exit code " + std::to_string(lastExitCode);
    // A helper that failed without a system error code still leaves one for the host.
    problem.systemError = error != 0 ? error : late ? ERROR_TIMEOUT : ERROR_PROCESS_ABORTED;
    return false;
}

// The one place where the bridge waits for the helper: for the answer to the
// call at one depth, serving the messages sent to this thread's windows.
HelperLink::Outcome HelperLink::Await(CallRecord& record, uint32_t sequence, uint32_t milliseconds,
                                      int64_t pollTicks)
{
    const auto answered = [&record, sequence] { return record.answered.load() == sequence; };
    if (pollTicks > 0) {
        LookForSentMessages(record.handedAt);
        if (Poll(pollTicks, answered)) return Answered(record);
    }
    const uint32_t helper = helpersStarted;
    bool dumpAwaited = false;
    for (;;) {
        // Announced before the last look: an answer stored after it wakes the wait.
        control->bridgeAsleep = 1;
        if (answered() || process == nullptr || helpersStarted != helper) {
            control->bridgeAsleep = 0;
            return answered() ? Answered(record) : Outcome::Lost;
        }
        HANDLE handles[] = {responseEvent, process};
        const ULONGLONG before = GetTickCount64();
        const DWORD woken = WaitOrSentMessage(2, handles, milliseconds);
        control->bridgeAsleep = 0;
        // The watchdog counts the helper's time alone, not the window
        // procedures this thread runs for the host meanwhile.
        const ULONGLONG spent = GetTickCount64() - before;
        milliseconds = spent >= milliseconds ? 0 : static_cast<uint32_t>(milliseconds - spent);
        // The response event serves every depth: a wake is checked above.
        if (woken == WAIT_OBJECT_0) continue;
        if (woken == WAIT_OBJECT_0 + 2) {
            ServeSentMessages();
            continue;
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            if (answered()) return Answered(record);
            return Ended(record.taken == sequence);
        }
        // A helper in its crash handler is writing its dump: it is given the time.
        if (control->crashCode != 0 && !dumpAwaited) {
            dumpAwaited = true;
            milliseconds = kDumpMilliseconds;
            continue;
        }
        const bool crashing = control->crashCode != 0;
        EndHelper(kWatchdogExitCode);
        return crashing ? Outcome::Ended : Outcome::Hung;
    }
}

// Calls answered within their poll wait for no message: while they come
// back to back, one of them looks every kMessageLookMicroseconds.
void HelperLink::LookForSentMessages(int64_t now)
{
    if (now - lastMessageLook < messageLookTicks) return;
    lastMessageLook = now;
    if ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0) ServeSentMessages();
}

HelperLink::Outcome HelperLink::Answered(CallRecord& record)
{
    record.receivedAt = HandOverClock();
    answers.Note(record.answeredAt - record.handedAt);
    return Outcome::Answered;
}

HelperLink::Outcome HelperLink::Call(uint32_t depth)
{
    if (process == nullptr) return Outcome::NotTaken;
    CallRecord& record = Record(depth);
    const uint32_t sequence = record.sequence + 1;
    record.handedAt = HandOverClock();
    record.sequence = sequence;
    if (depth > 0 && !SendNotifyMessageW(static_cast<HWND>(helperWindow), kNestedCallMessage, depth, 0))
        return Outcome::NotSent;
    ++control->handOvers;
    // A helper asleep answers no sooner than its event wakes it, which a
    // poll here would only slow down, taking a CPU the wake may need.
    const bool helperAsleep = control->helperAsleep.exchange(0) != 0;
    if (helperAsleep && !SetEvent(requestEvent)) return Outcome::NotSent;
    return Await(record, sequence, kWatchdogMilliseconds, helperAsleep ? 0 : answers.Ticks());
}

int32_t HelperLink::EndedIn(uint32_t depth) const
{
    for (int32_t inFlight = static_cast<int32_t>(depth); inFlight >= 0; --inFlight) {
        const CallRecord& record = control->calls[inFlight];
        const uint32_t sequence = record.sequence;
        if (record.taken == sequence && record.answered != sequence) return inFlight;
    }
    return -1;
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

HelperLink::Outcome HelperLink::GrowData(uint32_t depth, uint32_t size)
{
    DataView& view = data[depth];
    uint32_t grown = view.size != 0 ? view.size : kInitialDataSize;
    while (grown < size) grown *= 2;
    if (grown > kMaxCallData) grown = kMaxCallData;
    // Mapped here first, so that the helper never takes a section this side cannot write.
    DataView larger;
    if (!NewDataView(larger, grown)) return Outcome::Answered;  // the caller sees the capacity unchanged
    if (process != nullptr) {
        HANDLE inHelper = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), larger.section, process, &inHelper, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            Discard(larger);
            return Outcome::Answered;
        }
        CallRecord& record = Record(depth);
        record.request = kMapData;
        record.args[0] = static_cast<int32_t>(reinterpret_cast<uintptr_t>(inHelper));
        record.args[1] = static_cast<int32_t>(grown);
        const Outcome outcome = Call(depth);
        if (outcome != Outcome::Answered || record.result != 0) {
            Discard(larger);
            return outcome;
        }
    }
    Discard(view);
    view = larger;
    return Outcome::Answered;
}

void HelperLink::Stop()
{
    if (process == nullptr) return;
    Record(0).request = kRelease;
    if (Call(0) == Outcome::Answered) WaitForSingleObject(process, kWatchdogMilliseconds);
    EndHelper(0);
}

void HelperLink::Abandon()
{
    if (process == nullptr) return;
    TerminateProcess(process, 0);
    CloseHandle(process);
    process = nullptr;
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
