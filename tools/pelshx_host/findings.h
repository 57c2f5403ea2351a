#pragma once

// The findings of an installation check, one a line, each with what to do.

#include <ostream>
#include <string>

class Findings {
public:
    explicit Findings(std::ostream& output) : out(output) {}

    void Ok(const std::string& subject, const std::string& text) { Line("ok", subject, text, "nothing to do"); }
    // Worth knowing; the installation works all the same.
    void Note(const std::string& subject, const std::string& text, const std::string& advice)
    {
        Line("note", subject, text, advice);
    }
    void Problem(const std::string& subject, const std::string& text, const std::string& advice)
    {
        if (problems++ == 0) firstProblem = subject + ": " + text;
        Line("PROBLEM", subject, text, advice);
    }

    // The last line. True when the installation is sound.
    bool Verdict()
    {
        if (problems == 0)
            out << "verdict: the installation is sound\n";
        else
            out << "verdict: " << problems << (problems == 1 ? " problem" : " problems") << " found, first "
                << firstProblem << '\n';
        return problems == 0;
    }

private:
    void Line(const std::string& level, const std::string& subject, const std::string& text, const std::string& advice)
    {
        out << level << std::string(9 - level.size(), ' ') << subject << ": " << text << " -> " << advice << '\n';
    }

    std::ostream& out;
    int problems = 0;
    std::string firstProblem;
};
