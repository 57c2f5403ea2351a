#include "config/config_reader.h"

#include <cstdio>
#include <memory>

namespace {

// Lines are read in pieces of at most 99 characters; a longer line is handled
// as several lines, each piece on its own.
constexpr int kConfigLineBuffer = 100;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool ReadPiece(std::FILE* file, std::string& piece)
{
    char buffer[kConfigLineBuffer] = {};
    if (std::fgets(buffer, kConfigLineBuffer, file) == nullptr) return false;
    piece = buffer;
    return true;
}

// The text between the first '[' at or after `from` and the first ']' after it.
// `open` receives the position of that '['.
bool BracketedText(const std::string& line, std::size_t from, std::string& text, std::size_t& open)
{
    open = line.find('[', from);
    if (open == std::string::npos) return false;
    const std::size_t close = line.find(']', open + 1);
    if (close == std::string::npos) return false;
    text = line.substr(open + 1, close - open - 1);
    return true;
}

// Comment lines and lines without a bracket pair name nothing.
bool LineNames(const std::string& line, const std::string& name, std::size_t& open)
{
    if (!line.empty() && line[0] == '#') return false;
    std::string text;
    return BracketedText(line, 0, text, open) && text == name;
}

bool SkipToLineNaming(std::FILE* file, const std::string& name, std::string& line, std::size_t& open)
{
    while (ReadPiece(file, line))
        if (LineNames(line, name, open)) return true;
    return false;
}

}  // namespace

int ReadConfigValue(const std::string& fileName, const std::string& section, const std::string& key,
                    std::string& value)
{
    File file(std::fopen(fileName.c_str(), "r"), &std::fclose);
    if (!file) return -1;
    std::string line;
    std::size_t open = 0;
    if (!SkipToLineNaming(file.get(), section, line, open)) return -1;
    // Once the section's header is found the key is looked for in all the rest
    // of the file, later section headers included.
    if (!SkipToLineNaming(file.get(), key, line, open)) return -1;
    std::string found;
    if (!BracketedText(line, open + 1, found, open)) return -1;
    value = found;
    return 0;
}
