#pragma once

// Reads one value from a configuration file of the form
//     # comment
//     [SECTION]
//     [KEY]   [value]
// Every call opens the file, scans it from the top and closes it again.
//
// The reading rules are exposed piece by piece so that a diagnosis of a file
// judges it exactly as the player reads it.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Lines are read in pieces of at most this many characters; a longer line is
// handled as several lines, each piece on its own.
constexpr std::size_t kConfigPieceChars = 99;

// The byte (Ctrl-Z) where reading stops, as it does for the Windows C
// library's text files: whatever follows it is not seen.
constexpr char kConfigTextEnd = '\x1A';

// Hands out the next piece, with its line break when it has one; false at the end.
using NextConfigPiece = std::function<bool(std::string& piece)>;

// The text between the first '[' at or after `from` and the first ']' after it,
// neither of them the second byte of a two-byte character. `open` receives the
// position of that '['.
bool ConfigBracketedText(const std::string& piece, std::size_t from, std::string& text, std::size_t& open);

// True when the piece is no comment (a '#' in its first column) and its first
// bracketed text is exactly `name`; `open` then holds that text's '['.
bool ConfigPieceNames(const std::string& piece, const std::string& name, std::size_t& open);

// How far a lookup got, pieces counted from 0.
struct ConfigLookup {
    static constexpr std::size_t kNotSeen = static_cast<std::size_t>(-1);
    std::size_t sectionPiece = kNotSeen;  // the first piece naming the section
    std::size_t keyPiece = kNotSeen;      // the first piece naming the key after it
    bool found = false;                   // that piece also holds a bracketed value
    std::string value;
};

// The lookup itself: the first piece naming the section, then the first piece
// after it naming the key, later section headers included; the value is the
// next bracketed text on the key's piece.
ConfigLookup LookUpConfigValue(const NextConfigPiece& next, const std::string& section, const std::string& key);

// Every piece of the file, read as a lookup reads it; false when the file cannot be opened.
bool ReadConfigPieces(const std::string& fileName, std::vector<std::string>& pieces);

// 0 with value set when the key is found after the section's header; -1 in
// every other case, value then unchanged.
int ReadConfigValue(const std::string& fileName, const std::string& section, const std::string& key,
                    std::string& value);
