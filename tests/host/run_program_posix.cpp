#include "run_program.h"

#include <cstdio>
#include <sys/wait.h>

ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& arguments,
                      const std::vector<std::pair<std::string, std::string>>& environment)
{
    std::string command;
    for (const auto& [variable, value] : environment) command += variable + "=" + value + " ";
    command += "./" + name;
    for (const std::string& argument : arguments) command += " " + argument;
    command += " 2>&1";

    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
