#include "findings.h"

void Findings::Ok(const std::string& subject, const std::string& text)
{
    Line("ok", subject, text, "nothing to do");
}

void Findings::Note(const std::string& subject, const std::string& text, const std::string& advice)
{
    Line("note", subject, text, advice);
}

void Findings::Problem(const std::string& subject, const std::string& text, const std::string& advice)
{
    if (problems++ == 0) firstProblem = subject + ": " + text;
    Line("PROBLEM", subject, text, advice);
}

void Findings::Line(const char* level, const std::string& subject, const std::string& text, const std::string& advice)
{
    out << level << std::string(9 - std::string(level).size(), ' ') << subject << ": " << text << " -> " << advice
        << '\n';
}
