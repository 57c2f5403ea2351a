#include "config_diagnosis.h"

#include "host_platform.h"

#include "config/ansi_text.h"
#include "config/config_reader.h"
#include "config/paths.h"
#include "config/player_settings.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace player_settings;

const char kSubject[] = "configuration";
const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr unsigned kUtf8CodePage = 65001;

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Equal but for one letter changed, added or left out.
bool OneLetterApart(const std::string& a, const std::string& b)
{
    const std::string& longer = a.size() >= b.size() ? a : b;
    const std::string& shorter = a.size() >= b.size() ? b : a;
    if (longer.size() - shorter.size() > 1) return false;
    std::size_t front = 0;
    while (front < shorter.size() && shorter[front] == longer[front]) ++front;
    const std::size_t skip = longer.size() == shorter.size() ? 1 : 0;
    return front == shorter.size() ||
           shorter.compare(front + skip, std::string::npos, longer, front + 1, std::string::npos) == 0;
}

// The file as the player reads it, in pieces of at most kConfigPieceChars characters.
class ConfigText {
public:
    explicit ConfigText(std::vector<std::string> read) : pieces(std::move(read)) {}

    std::size_t Count() const { return pieces.size(); }
    const std::string& Piece(std::size_t index) const { return pieces[index]; }
    // "line N", the line the piece begins on.
    std::string Line(std::size_t index) const
    {
        const auto ends = std::count_if(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(index),
                                        [](const std::string& piece) { return piece.back() == '\n'; });
        return "line " + std::to_string(ends + 1);
    }

    // The piece is the start of a line longer than a piece: more than its line break follows.
    bool PartOfLongLine(std::size_t index) const
    {
        return pieces[index].size() == kConfigPieceChars && pieces[index].back() != '\n' && index + 1 < pieces.size() &&
               !Trimmed(pieces[index + 1]).empty();
    }

    ConfigLookup LookUp(const std::string& key) const
    {
        std::size_t next = 0;
        return LookUpConfigValue(
            [&](std::string& piece) {
                if (next == pieces.size()) return false;
                piece = pieces[next++];
                return true;
            },
            kSection, key);
    }

    // The first piece that comes close to naming `name` (see WhyNotNamed), and why it does not; "" when none.
    std::string WhyNoPieceNames(const std::string& name, std::size_t sectionPiece) const;

    // The first bracketed text of a piece that is no '#' comment; "" when none.
    std::string FirstName(std::size_t index) const
    {
        const std::string& piece = pieces[index];
        std::string name;
        std::size_t open = 0;
        if ((!piece.empty() && piece[0] == '#') || !ConfigBracketedText(piece, 0, name, open)) return "";
        return name;
    }

private:
    std::vector<std::string> pieces;
};

std::string TwoByteCharacterTakes(char byte)
{
    return std::string("a two-byte character of code page ") + std::to_string(host_platform::AnsiCodePage()) +
           " takes the '" + byte + "' as its second byte";
}

// The '[' at `at` is the second byte of a two-byte character.
bool HiddenBracket(const std::string& piece, std::size_t at)
{
    std::size_t open = FindAnsiCharacter(piece, '[');
    while (open < at) open = FindAnsiCharacter(piece, '[', open + 1);
    return open != at;
}

// Why the player does not take a piece as naming `name` (a section, or a key
// of the section that begins on sectionPiece), though it comes close; "" when
// it does not come close.
std::string WhyNotNamed(const ConfigText& text, std::size_t index, const std::string& name, std::size_t sectionPiece)
{
    const std::string& piece = text.Piece(index);
    const std::string line = text.Line(index);
    const std::string written = text.FirstName(index);
    const std::string bare = Trimmed(piece);
    const std::size_t at = piece.find("[" + name + "]"), cr = piece.find('\r');
    std::size_t open = 0;
    if (ConfigPieceNames(piece, name, open))
        return index < sectionPiece ? line + " sets it before [" + kSection + "]; only lines after it count" : "";
    if (at != std::string::npos && cr < at && piece[cr + 1] != '\n')
        return line + " ends in a CR alone, which ends no line for the player: it reads on to the next LF, and "
                      "only the first bracketed name of what it reads counts";
    if (piece[0] == '#') return "";
    if (at != std::string::npos && HiddenBracket(piece, at))
        return line + " names it, but " + TwoByteCharacterTakes('[') +
               (at == 3 && piece.compare(0, 3, kByteOrderMark) == 0 ? ": the UTF-8 byte order mark's last byte" : "");
    if (at != std::string::npos && index == sectionPiece)
        return line + " sets it on the [" + kSection + "] line; only the lines after it count";
    if (at != std::string::npos)
        return line + " names it after [" + written + "]; a line sets only what its first bracketed text names";
    if (Lower(bare).compare(0, name.size(), Lower(name)) == 0)
        return line + " is written \"" + bare + "\"; the player reads only [" + name + "] [value]";
    if (!written.empty() && Trimmed(written) == name)
        return line + " has spaces inside the brackets: [" + written + "]";
    if (!written.empty() && (Lower(written) == Lower(name) || OneLetterApart(Lower(written), Lower(name))))
        return line + " has [" + written + "], which differs from [" + name + "]; case counts";
    return "";
}

std::string ConfigText::WhyNoPieceNames(const std::string& name, std::size_t sectionPiece) const
{
    std::string reason;
    for (std::size_t i = 0; i < pieces.size() && reason.empty(); ++i) reason = WhyNotNamed(*this, i, name, sectionPiece);
    return reason;
}

std::string WhyNotFound(const ConfigText& text, const ConfigLookup& lookup, const std::string& key, bool savedAsUtf8)
{
    if (lookup.sectionPiece == ConfigLookup::kNotSeen) return "the section [" + std::string(kSection) + "] is missing";
    if (lookup.keyPiece == ConfigLookup::kNotSeen) return text.WhyNoPieceNames(key, lookup.sectionPiece);
    const std::string& piece = text.Piece(lookup.keyPiece);
    const std::string line = text.Line(lookup.keyPiece);
    if (text.PartOfLongLine(lookup.keyPiece))
        return line + " is longer than " + std::to_string(kConfigPieceChars) +
               " characters; it is read in pieces, so its value is cut";
    const std::size_t open = piece.rfind('['), close = piece.rfind(']');
    if (close != std::string::npos && close > open && FindAnsiCharacter(piece, ']', open) == std::string::npos)
        return line + " has no [value] after [" + key + "] as the player reads it: " + TwoByteCharacterTakes(']') +
               (savedAsUtf8 ? "; the file is saved as UTF-8" : "");
    return line + " has no [value] after [" + key + "]";
}

// Something other than an optional sign and digits, perhaps in white space.
bool NotANumber(const std::string& value)
{
    const std::string number = Trimmed(value);
    const std::size_t digits = number.find_first_of("+-") == 0 ? 1 : 0;
    return number.size() == digits || number.find_first_not_of("0123456789", digits) != std::string::npos;
}

bool BeyondAscii(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Valid UTF-8 with characters beyond ASCII, as editors save text today. Under
// a two-byte code page only characters of three bytes or more tell, as the
// Chinese, Japanese and Korean ones are: the pairs of many two-byte ANSI
// characters (目录 in GBK) make valid UTF-8 too, but of two-byte characters,
// Latin or Greek letters and the like.
bool LooksLikeUtf8(const std::string& bytes)
{
    const std::size_t tellingLength = platform::IsLeadByte(0x81) ? 3 : 2;
    bool told = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                   : (lead & 0xF8) == 0xF0                 ? 4
                                                                           : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        told = told || length >= tellingLength;
        i += length;
    }
    return told;
}

void JudgeValue(const ConfigText& text, const ConfigLookup& lookup, const std::string& key, bool savedAsUtf8,
                Findings& findings)
{
    const std::string setting = key + " [" + lookup.value + "] (" + text.Line(lookup.keyPiece) + ")";
    const bool tracePath = key == kTracePathKey;
    std::string directory = lookup.value;
    if (tracePath && !host_platform::IsAbsolutePath(NormaliseDirPath(directory)))
        findings.Problem(kSubject,
                         setting + (directory.empty() ? " is empty" : " is no full path") +
                             ": the logs go to each host's current directory, wherever that is when Play_Init runs",
                         "write the trace directory's full path between the brackets");
    else if (tracePath && savedAsUtf8 && BeyondAscii(lookup.value))
        findings.Problem(kSubject,
                         setting + ": the file is saved as UTF-8, but the player reads it as ANSI text (code page " +
                             std::to_string(host_platform::AnsiCodePage()) + "), so the logs go to " + lookup.value +
                             " as this console shows it in that code page",
                         "save the file as ANSI text (GBK on Chinese Windows)");
    else if (!tracePath && NotANumber(lookup.value))
        findings.Problem(kSubject,
                         setting + " is not a number; the player reads it as " +
                             std::to_string(ParseDebugLevel(lookup.value)),
                         "write a number: 0 errors only, 1 every call but input, 2 everything");
    else
        findings.Ok(kSubject, setting);
}

void JudgeKey(const ConfigText& text, const std::string& key, bool savedAsUtf8, Findings& findings)
{
    const ConfigLookup lookup = text.LookUp(key);
    if (lookup.found) {
        JudgeValue(text, lookup, key, savedAsUtf8, findings);
        for (std::size_t i = lookup.keyPiece + 1; i < text.Count(); ++i) {
            std::size_t open = 0;
            if (ConfigPieceNames(text.Piece(i), key, open))
                findings.Problem(kSubject,
                                 key + " is set again on " + text.Line(i) + "; only the first, on " +
                                     text.Line(lookup.keyPiece) + ", counts",
                                 "keep one [" + key + "] line");
        }
        return;
    }
    const std::string reason = WhyNotFound(text, lookup, key, savedAsUtf8);
    const std::string fallback = key + " not found, so the default " +
                                 (key == kTracePathKey ? kDefaultTraceDirectory : std::to_string(kDefaultDebugLevel)) +
                                 " applies";
    if (reason.empty())
        findings.Note(kSubject, fallback, "add [" + key + "] [value] after [" + kSection + "] to set it");
    else
        findings.Problem(kSubject, fallback + ": " + reason,
                         "write it as [" + key + "] [value] after [" + kSection + "]");
}

void JudgeSection(const ConfigText& text, Findings& findings)
{
    const ConfigLookup lookup = text.LookUp(kSection);
    if (lookup.sectionPiece != ConfigLookup::kNotSeen) {
        findings.Ok(kSubject, "section [" + std::string(kSection) + "] on " + text.Line(lookup.sectionPiece));
        return;
    }
    const std::string reason = text.WhyNoPieceNames(kSection, ConfigLookup::kNotSeen);
    findings.Problem(kSubject,
                     "section [" + std::string(kSection) + "] not found" + (reason.empty() ? "" : ": " + reason),
                     "start the settings with a line [" + std::string(kSection) + "]");
}

// Lines starting with ';', or with '#' after white space, are no comments:
// what they name takes effect.
void JudgeWouldBeComments(const ConfigText& text, Findings& findings)
{
    for (std::size_t i = 0; i < text.Count(); ++i) {
        const std::string piece = Trimmed(text.Piece(i));
        const bool indentedHash = !piece.empty() && piece[0] == '#' && text.Piece(i)[0] != '#';
        if (piece.empty() || (piece[0] != ';' && !indentedHash) || text.FirstName(i).empty()) continue;
        findings.Problem(kSubject,
                         text.Line(i) + " starts with '" + piece[0] + "'" + (indentedHash ? " after white space" : "") +
                             ", which does not make a comment: it takes effect",
                         "start comments with '#' in the first column");
    }
}

// Settings after a Ctrl-Z byte, which the player never sees.
void JudgeTextEnd(const std::string& bytes, Findings& findings)
{
    const std::size_t end = bytes.find(kConfigTextEnd);
    if (end == std::string::npos || bytes.find('[', end) == std::string::npos) return;
    const auto line = 1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\n');
    findings.Problem(kSubject,
                     "line " + std::to_string(line) +
                         " holds a 0x1A byte (Ctrl-Z), where the player stops reading: the settings after it are "
                         "not seen",
                     "remove that byte");
}

// False when the file's encoding keeps the player from reading it at all: it
// is UTF-16, by its byte order mark or a NUL byte beside most characters (a
// stray NUL is no sign).
bool JudgeEncoding(const std::string& bytes, Findings& findings)
{
    const auto nulBytes = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\0'));
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
        (!bytes.empty() && nulBytes * 3 >= bytes.size())) {
        findings.Problem(kSubject, "the file is saved as UTF-16; the player finds nothing in it",
                         "save it as plain ANSI text");
        return false;
    }
    if (bytes.compare(0, 3, kByteOrderMark) == 0)
        findings.Note(kSubject,
                      "the file is saved as UTF-8 with a byte order mark; a '#' comment on its first line "
                      "would not count as one",
                      "save it as plain ANSI text");
    return true;
}

}  // namespace

void DiagnoseConfigFile(const std::string& configFile, Findings& findings)
{
    std::ifstream in(configFile, std::ios::binary);
    if (!in) {
        const bool there = platform::FindsEntry(configFile);
        const std::string text = configFile + (there ? " cannot be opened" : " is not there") +
                                 "; the player uses TRACE_PATH " + kDefaultTraceDirectory + " and DEBUG_LEVEL " +
                                 std::to_string(kDefaultDebugLevel);
        const char advice[] = "to choose, write it with the lines [GLOBAL], [TRACE_PATH] [directory] and "
                              "[DEBUG_LEVEL] [level], readable for the host's account";
        there ? findings.Problem(kSubject, text, advice) : findings.Note(kSubject, text, advice);
        return;
    }
    findings.Ok(kSubject, "the player reads " + configFile);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!JudgeEncoding(bytes, findings)) return;
    JudgeTextEnd(bytes, findings);
    std::vector<std::string> pieces;
    ReadConfigPieces(configFile, pieces);
    const ConfigText text(std::move(pieces));
    JudgeSection(text, findings);
    const bool savedAsUtf8 = LooksLikeUtf8(bytes) && host_platform::AnsiCodePage() != kUtf8CodePage;
    JudgeKey(text, kTracePathKey, savedAsUtf8, findings);
    JudgeKey(text, kDebugLevelKey, savedAsUtf8, findings);
    JudgeWouldBeComments(text, findings);
}
