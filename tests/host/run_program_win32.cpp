#include "run_program.h"

#include <windows.h>

namespace {

// What the program prints, until it has ended and its pipe is empty. The end
// of the pipe itself is not awaited: a process the program starts may keep
// the write end open far longer (under Wine, the desktop's explorer.exe, when
// the program is the first to need the desktop, holds it as long as it runs).
std::string ReadUntilEnded(HANDLE pipe, HANDLE process)
{
    std::string output;
    char buffer[4096];
    for (;;) {
        // Once the program has ended, everything it wrote is in the pipe.
        const bool ended = WaitForSingleObject(process, 10) == WAIT_OBJECT_0;
        DWORD available = 0;
        while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            DWORD got = 0;
            if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr)) break;
            output.append(buffer, got);
        }
        if (ended) return output;
    }
}

}  // namespace

ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& arguments,
                      const std::vector<std::pair<std::string, std::string>>& environment)
{
    std::string command = ".\\" + name + ".exe";
    for (const std::string& argument : arguments) command += " " + argument;

    // The child inherits the variables; they are taken away again afterwards.
    for (const auto& [variable, value] : environment) SetEnvironmentVariableA(variable.c_str(), value.c_str());
    ProgramRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION child{};
        const BOOL started =
            CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
        CloseHandle(writeEnd);
        if (started) {
            run.output = ReadUntilEnded(readEnd, child.hProcess);
            DWORD exitCode = 0;
            if (GetExitCodeProcess(child.hProcess, &exitCode)) run.exitCode = static_cast<int>(exitCode);
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
        CloseHandle(readEnd);
    }
    for (const auto& entry : environment) SetEnvironmentVariableA(entry.first.c_str(), nullptr);
    return run;
}
