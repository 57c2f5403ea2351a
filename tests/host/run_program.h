#pragma once

// Running a program of the build, as a person at a command prompt would, and
// collecting what it prints. One implementation per platform.

#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs the program `name` from the current directory with the arguments (none
// of them holding spaces or quotes) and the environment variables added.
ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& arguments,
                      const std::vector<std::pair<std::string, std::string>>& environment = {});
