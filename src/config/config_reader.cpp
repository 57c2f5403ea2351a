#include "config/config_reader.h"

#include "config/ansi_text.h"

#include <cstdio>
#include <memory>

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A 0x1A byte ends the text, as the Windows C library reads a text file.
bool ReadPiece(std::FILE* file, std::string& piece)
{
    char buffer[kConfigPieceChars + 1] = {};
    if (std::fgets(buffer, sizeof buffer, file) == nullptr) return false;
    piece = buffer;
    const std::size_t end = piece.find(kConfigTextEnd);
    if (end == std::string::npos) return true;
    piece.resize(end);
    std::fseek(file, 0, SEEK_END);
    return !piece.empty();
}

// Moves on to the first piece naming `name`; false when none is left.
bool SkipToPieceNaming(const NextConfigPiece& next, const std::string& name, std::string& piece, std::size_t& index,
                       std::size_t& open)
{
    while (next(piece)) {
        ++index;
        if (ConfigPieceNames(piece, name, open)) return true;
    }
    return false;
}

}  // namespace

bool ConfigBracketedText(const std::string& piece, std::size_t from, std::string& text, std::size_t& open)
{
    open = FindAnsiCharacter(piece, '[', from);
    if (open == std::string::npos) return false;
    const std::size_t close = FindAnsiCharacter(piece, ']', open + 1);
    if (close == std::string::npos) return false;
    text = piece.substr(open + 1, close - open - 1);
    return true;
}

bool ConfigPieceNames(const std::string& piece, const std::string& name, std::size_t& open)
{
    if (!piece.empty() && piece[0] == '#') return false;
    std::string text;
    return ConfigBracketedText(piece, 0, text, open) && text == name;
}

ConfigLookup LookUpConfigValue(const NextConfigPiece& next, const std::string& section, const std::string& key)
{
    ConfigLookup lookup;
    std::string piece;
    std::size_t index = ConfigLookup::kNotSeen;  // the first piece read becomes 0
    std::size_t open = 0;
    if (!SkipToPieceNaming(next, section, piece, index, open)) return lookup;
    lookup.sectionPiece = index;
    if (!SkipToPieceNaming(next, key, piece, index, open)) return lookup;
    lookup.keyPiece = index;
    lookup.found = ConfigBracketedText(piece, open + 1, lookup.value, open);
    if (!lookup.found) lookup.value.clear();
    return lookup;
}

bool ReadConfigPieces(const std::string& fileName, std::vector<std::string>& pieces)
{
    File file(std::fopen(fileName.c_str(), "r"), &std::fclose);
    if (!file) return false;
    for (std::string piece; ReadPiece(file.get(), piece);) pieces.push_back(piece);
    return true;
}

int ReadConfigValue(const std::string& fileName, const std::string& section, const std::string& key,
                    std::string& value)
{
    File file(std::fopen(fileName.c_str(), "r"), &std::fclose);
    if (!file) return -1;
    const ConfigLookup lookup =
        LookUpConfigValue([&file](std::string& piece) { return ReadPiece(file.get(), piece); }, section, key);
    if (!lookup.found) return -1;
    value = lookup.value;
    return 0;
}
