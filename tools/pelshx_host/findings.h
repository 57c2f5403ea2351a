#pragma once

// The findings of an installation check, one a line, each with what to do.

#include <ostream>
#include <string>

class Findings {
public:
    explicit Findings(std::ostream& output) : out(output) {}

    void Ok(const std::string& subject, const std::string& text);
    // Worth knowing; the installation works all the same.
    void Note(const std::string& subject, const std::string& text, const std::string& advice);
    void Problem(const std::string& subject, const std::string& text, const std::string& advice);

    int Problems() const { return problems; }
    const std::string& FirstProblem() const { return firstProblem; }

private:
    void Line(const char* level, const std::string& subject, const std::string& text, const std::string& advice);

    std::ostream& out;
    int problems = 0;
    std::string firstProblem;
};
