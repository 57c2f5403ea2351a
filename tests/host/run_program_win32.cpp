#include "run_program.h"

#include <cstdio>
#include <windows.h>

ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& arguments,
                      const std::vector<std::pair<std::string, std::string>>& environment)
{
    std::string command = name + ".exe";
    for (const std::string& argument : arguments) command += " " + argument;
    command += " 2>&1";

    // The child inherits the variables; they are taken away again afterwards.
    for (const auto& [variable, value] : environment) SetEnvironmentVariableA(variable.c_str(), value.c_str());
    ProgramRun run;
    if (FILE* pipe = _popen(command.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, got);
        run.exitCode = _pclose(pipe);
    }
    for (const auto& entry : environment) SetEnvironmentVariableA(entry.first.c_str(), nullptr);
    return run;
}
