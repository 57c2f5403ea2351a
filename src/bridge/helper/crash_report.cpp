#include "bridge/helper/crash_report.h"

#include "bridge/plugin_logs.h"

#include <windows.h>
#include <dbghelp.h>

#include <cstdio>
#include <cstring>

namespace bridge {

namespace {

ControlBlock* block = nullptr;
// Fixed room: the crash handler allocates nothing.
char dumpDirectory[MAX_PATH] = {};
const char kDumpPattern[] = "pelshx_bridge32-*.dmp";

// Removes the oldest dumps (their names sort by time) until fewer than
// kKeptDumps are left, so that a crash loop cannot fill the disk.
void RemoveOldDumps()
{
    char pattern[MAX_PATH * 2];
    std::snprintf(pattern, sizeof pattern, "%s%s", dumpDirectory, kDumpPattern);
    for (;;) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) return;
        int count = 0;
        char oldest[MAX_PATH] = {};
        do {
            ++count;
            if (oldest[0] == '\0' || std::strcmp(found.cFileName, oldest) < 0)
                std::snprintf(oldest, sizeof oldest, "%s", found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        if (count < kKeptDumps) return;
        char file[MAX_PATH * 2];
        std::snprintf(file, sizeof file, "%s%s", dumpDirectory, oldest);
        if (!DeleteFileA(file)) return;
    }
}

void WriteDump(EXCEPTION_POINTERS* exception)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[kDumpNameBytes];
    std::snprintf(name, sizeof name, "pelshx_bridge32-%04u%02u%02u-%02u%02u%02u-%lu.dmp", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, GetCurrentProcessId());
    RemoveOldDumps();
    char file[MAX_PATH * 2];
    std::snprintf(file, sizeof file, "%s%s", dumpDirectory, name);
    HANDLE dump = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (dump == INVALID_HANDLE_VALUE) {
        block->dumpError = GetLastError();
        return;
    }
    MINIDUMP_EXCEPTION_INFORMATION where = {GetCurrentThreadId(), exception, FALSE};
    const BOOL written = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), dump, MiniDumpNormal, &where,
                                           nullptr, nullptr);
    block->dumpError = written ? 0 : GetLastError();
    CloseHandle(dump);
    if (written)
        std::memcpy(block->dumpName, name, sizeof name);
    else
        DeleteFileA(file);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    // Tells the bridge, which is waiting for this call, to give the dump time.
    block->crashCode = code != 0 ? code : 1;
    WriteDump(exception);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The handler of the frame ReportCrashesIn puts first in the thread's chain:
// it sees an exception before the system's frame around a window procedure.
EXCEPTION_DISPOSITION NTAPI OnCrashInFrame(EXCEPTION_RECORD* record, void*, CONTEXT* context, void*)
{
    if ((record->ExceptionFlags & EXCEPTION_UNWIND) == 0) {
        EXCEPTION_POINTERS pointers = {record, context};
        OnCrash(&pointers);
    }
    return ExceptionContinueSearch;
}

}  // namespace

void InstallCrashReport(ControlBlock& control)
{
    block = &control;
    SetDumpDirectory(PluginLogDirectory(false));
    // A minidump needs no symbols: without this option Wine's dbghelp reads
    // the debugging information of every module as it writes the dump, and
    // dies on some of it (a library linked unstripped), so no dump is written.
    SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS);
    SetUnhandledExceptionFilter(OnCrash);
}

void SetDumpDirectory(const std::string& directory)
{
    std::snprintf(dumpDirectory, sizeof dumpDirectory, "%s", directory.c_str());
}

static_assert(sizeof(void*) == 4, "the helper is a 32-bit program: x86 exception frames");

void ReportCrashesIn(void (*call)(void*), void* context)
{
    // The thread's chain of exception frames, through a volatile view: the
    // compiler sees no other reader of it.
    volatile NT_TIB* thread = reinterpret_cast<volatile NT_TIB*>(NtCurrentTeb());
    EXCEPTION_REGISTRATION_RECORD frame;
    frame.Next = thread->ExceptionList;
    frame.Handler = OnCrashInFrame;
    thread->ExceptionList = &frame;
    call(context);
    thread->ExceptionList = frame.Next;
}

}  // namespace bridge
