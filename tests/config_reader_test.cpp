// ReadConfigValue: sections, key lines, comments, the 99-character read pieces
// and the file's life cycle; and how a debug level is read.

#include "config/config_reader.h"
#include "config/player_settings.h"

#include "support/file_helpers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#ifndef _WIN32
#include <dirent.h>
#endif

namespace {

using test_files::ScratchDir;
using test_files::WriteBytes;

// Preset into the output before every lookup, so that a value the reader
// should have left alone shows.
const char kUntouched[] = "<untouched>";

// What one lookup gave: its result and the output value.
struct Lookup {
    int result;
    std::string value;
};

bool operator==(const Lookup& a, const Lookup& b)
{
    return a.result == b.result && a.value == b.value;
}

void PrintTo(const Lookup& lookup, std::ostream* os)
{
    *os << "result " << lookup.result << " with value \"" << test_files::Escaped(lookup.value) << "\"";
}

Lookup Found(const std::string& value)
{
    return {0, value};
}

const Lookup kNotFound{-1, kUntouched};

// A line of exactly `length` characters (no line break): `head`, then `fill`
// up to the length.
std::string LineOfLength(const std::string& head, std::size_t length, char fill = ' ')
{
    std::string line = head;
    line.resize(length, fill);
    return line;
}

class ConfigReaderTest : public ::testing::Test {
protected:
    // Writes the configuration file byte for byte and returns its path.
    std::string Config(const std::string& content)
    {
        const std::string path = dir.File("TAVO.cfg");
        WriteBytes(path, content);
        return path;
    }

    Lookup Read(const std::string& content, const std::string& section, const std::string& key)
    {
        return ReadPath(Config(content), section, key);
    }

    static Lookup ReadPath(const std::string& path, const std::string& section, const std::string& key)
    {
        std::string value = kUntouched;
        const int result = ReadConfigValue(path, section, key, value);
        return {result, value};
    }

    ScratchDir dir{test_files::TemporaryRootPath() + "config_reader_test.tmp"};
};

// --- the file itself -------------------------------------------------------

TEST_F(ConfigReaderTest, MissingFileIsNotFound)
{
    EXPECT_EQ(kNotFound, ReadPath(dir.File("absent.cfg"), "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, DirectoryInsteadOfFileIsNotFound)
{
    EXPECT_EQ(kNotFound, ReadPath(dir.Slashed(), "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, EmptyFileIsNotFound)
{
    EXPECT_EQ(kNotFound, Read("", "GLOBAL", "TRACE_PATH"));
}

// --- the documented example --------------------------------------------------

TEST_F(ConfigReaderTest, ReadsBothKeysOfTheGlobalSection)
{
    const std::string file = "[GLOBAL]\n"
                             "[TRACE_PATH]    [d:/trace/]\n"
                             "[DEBUG_LEVEL]   [1]\n";
    EXPECT_EQ(Found("d:/trace/"), Read(file, "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(Found("1"), Read(file, "GLOBAL", "DEBUG_LEVEL"));
    EXPECT_EQ(kNotFound, Read(file, "OTHER", "TRACE_PATH")) << "section that the file lacks";
    EXPECT_EQ(kNotFound, Read(file, "GLOBAL", "MISSING_KEY")) << "key that the file lacks";
}

TEST_F(ConfigReaderTest, LastLineWithoutLineBreakIsRead)
{
    EXPECT_EQ(Found("7"), Read("[GLOBAL]\n[DEBUG_LEVEL] [7]", "GLOBAL", "DEBUG_LEVEL"));
}

// --- section headers ---------------------------------------------------------

TEST_F(ConfigReaderTest, SectionNameIsTakenExactlyBetweenTheBrackets)
{
    const std::string key = "[TRACE_PATH] [d:/t/]\n";
    EXPECT_EQ(kNotFound, Read("[ GLOBAL ]\n" + key, "GLOBAL", "TRACE_PATH")) << "spaces inside the brackets";
    EXPECT_EQ(Found("d:/t/"), Read("[GLOBAL] trailing text\n" + key, "GLOBAL", "TRACE_PATH"))
        << "text after the closing bracket is ignored";
    EXPECT_EQ(Found("d:/t/"), Read("  \t[GLOBAL]\n" + key, "GLOBAL", "TRACE_PATH"))
        << "white space before the opening bracket is ignored";
    EXPECT_EQ(Found("d:/t/"), Read("section = [GLOBAL]\n" + key, "GLOBAL", "TRACE_PATH"))
        << "any text before the opening bracket is ignored";
}

TEST_F(ConfigReaderTest, NamesAreCaseSensitive)
{
    EXPECT_EQ(kNotFound, Read("[global]\n[TRACE_PATH] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[trace_path] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[TRACE_PATH] [d:/t/]\n", "Global", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, HeaderWithoutClosingBracketIsIgnored)
{
    EXPECT_EQ(kNotFound, Read("[GLOBAL\n[TRACE_PATH] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(kNotFound, Read("GLOBAL]\n[TRACE_PATH] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, KeyBeforeTheSectionHeaderIsNotFound)
{
    EXPECT_EQ(kNotFound, Read("[TRACE_PATH] [d:/t/]\n[GLOBAL]\n", "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, KeyIsLookedForFromTheLineAfterTheHeader)
{
    // The header line itself is not also read as a key line.
    EXPECT_EQ(kNotFound, Read("[GLOBAL] [on-the-header]\n", "GLOBAL", "GLOBAL"));
    EXPECT_EQ(Found("next"), Read("[GLOBAL] [on-the-header]\n[GLOBAL] [next]\n", "GLOBAL", "GLOBAL"));
}

TEST_F(ConfigReaderTest, KeyUnderALaterSectionIsFound)
{
    const std::string file = "[GLOBAL]\n"
                             "[DEBUG_LEVEL] [2]\n"
                             "[OTHER]\n"
                             "[TRACE_PATH] [e:/other/]\n";
    EXPECT_EQ(Found("e:/other/"), Read(file, "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, OnlyTheFirstMatchingHeaderCounts)
{
    // The key search runs to the end of the file from the first header; the
    // first key line after it wins, whatever section it stands in.
    const std::string file = "[GLOBAL]\n"
                             "[OTHER]\n"
                             "[TRACE_PATH] [first/]\n"
                             "[GLOBAL]\n"
                             "[TRACE_PATH] [second/]\n";
    EXPECT_EQ(Found("first/"), Read(file, "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, SectionsOtherThanTheFirstCanBeRead)
{
    const std::string file = "[GLOBAL]\n"
                             "[TRACE_PATH] [global/]\n"
                             "[OTHER]\n"
                             "[TRACE_PATH] [other/]\n";
    EXPECT_EQ(Found("other/"), Read(file, "OTHER", "TRACE_PATH"));
}

// --- key lines ---------------------------------------------------------------

TEST_F(ConfigReaderTest, EmptyValueIsFound)
{
    EXPECT_EQ(Found(""), Read("[GLOBAL]\n[TRACE_PATH] []\n", "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, TextOutsideTheBracketsIsIgnored)
{
    EXPECT_EQ(Found("d:/trace/"), Read("[GLOBAL]\n[TRACE_PATH] = [d:/trace/] ; remark\n", "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(Found("d:/trace/"), Read("[GLOBAL]\n[TRACE_PATH]\t[d:/trace/]\n", "GLOBAL", "TRACE_PATH"))
        << "tab between key and value";
    EXPECT_EQ(Found("d:/trace/"), Read("[GLOBAL]\n[TRACE_PATH][d:/trace/]\n", "GLOBAL", "TRACE_PATH"))
        << "nothing between key and value";
}

TEST_F(ConfigReaderTest, ValueIsTakenExactlyBetweenItsBrackets)
{
    EXPECT_EQ(Found(" d:/my trace/ "), Read("[GLOBAL]\n[TRACE_PATH] [ d:/my trace/ ]\n", "GLOBAL", "TRACE_PATH"))
        << "spaces are kept";
    EXPECT_EQ(Found("a"), Read("[GLOBAL]\n[TRACE_PATH] [a]b]\n", "GLOBAL", "TRACE_PATH"))
        << "the value ends at the first closing bracket";
    EXPECT_EQ(Found("a"), Read("[GLOBAL]\n[TRACE_PATH] [a] [b]\n", "GLOBAL", "TRACE_PATH"))
        << "a third bracket pair is ignored";
    EXPECT_EQ(Found("c:\\x\\"), Read("[GLOBAL]\n[TRACE_PATH] [c:\\x\\]\n", "GLOBAL", "TRACE_PATH"))
        << "backslashes are no escapes";
}

TEST_F(ConfigReaderTest, KeyNameIsTakenExactlyBetweenTheBrackets)
{
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[ TRACE_PATH ] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[TRACE_PATH_2] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[TRACE] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, KeyLineWithoutValueEndsTheSearch)
{
    // The first line that names the key decides, even when a later one would
    // hold a value.
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[TRACE_PATH] d:/t/\n[TRACE_PATH] [d:/later/]\n", "GLOBAL", "TRACE_PATH"))
        << "no second bracket pair at all";
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[TRACE_PATH] [d:/t/\n[TRACE_PATH] [d:/later/]\n", "GLOBAL", "TRACE_PATH"))
        << "second pair without its closing bracket";
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n[TRACE_PATH] d:/t/]\n[TRACE_PATH] [d:/later/]\n", "GLOBAL", "TRACE_PATH"))
        << "second pair without its opening bracket";
}

TEST_F(ConfigReaderTest, LinesWithoutBracketsAreSkipped)
{
    const std::string file = "\n"
                             "plain text\n"
                             "[GLOBAL]\n"
                             "\n"
                             "TRACE_PATH = d:/wrong/\n"
                             "[TRACE_PATH] [d:/t/]\n";
    EXPECT_EQ(Found("d:/t/"), Read(file, "GLOBAL", "TRACE_PATH"));
}

// --- comments ----------------------------------------------------------------

TEST_F(ConfigReaderTest, HashAsFirstCharacterMakesAComment)
{
    EXPECT_EQ(Found("d:/real/"), Read("[GLOBAL]\n#[TRACE_PATH] [d:/comment/]\n[TRACE_PATH] [d:/real/]\n", "GLOBAL",
                                      "TRACE_PATH"))
        << "commented key line";
    EXPECT_EQ(kNotFound, Read("#[GLOBAL]\n[TRACE_PATH] [d:/t/]\n", "GLOBAL", "TRACE_PATH")) << "commented header";
}

TEST_F(ConfigReaderTest, CommentedKeyLineWithoutValueDoesNotEndTheSearch)
{
    EXPECT_EQ(Found("d:/t/"), Read("[GLOBAL]\n#[TRACE_PATH]\n[TRACE_PATH] [d:/t/]\n", "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, HashAfterLeadingSpaceIsNoComment)
{
    EXPECT_EQ(Found("d:/first/"), Read("[GLOBAL]\n #[TRACE_PATH] [d:/first/]\n[TRACE_PATH] [d:/second/]\n", "GLOBAL",
                                       "TRACE_PATH"));
    EXPECT_EQ(Found("d:/t/"), Read(" # [GLOBAL]\n[TRACE_PATH] [d:/t/]\n", "GLOBAL", "TRACE_PATH"))
        << "header after ' #'";
}

// --- lines longer than one read ----------------------------------------------

TEST_F(ConfigReaderTest, TailOfALongCommentLineIsReadAsALineOfItsOwn)
{
    // 150 characters: the first 99 are one piece (a comment), characters 100
    // to 150 are the next piece, here a key line.
    const std::string head = LineOfLength("#[TRACE_PATH] [d:/head/]", 99, '-');
    const std::string tail = LineOfLength("[TRACE_PATH] [d:/tail/]", 51, '-');
    ASSERT_EQ(150u, (head + tail).size());
    const std::string file = "[GLOBAL]\n" + head + tail + "\n[TRACE_PATH] [d:/next/]\n";
    EXPECT_EQ(Found("d:/tail/"), Read(file, "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, TailOfALongLineIsACommentOnlyByItsOwnFirstCharacter)
{
    const std::string head = LineOfLength("#[TRACE_PATH] [d:/head/]", 99, '-');
    const std::string tail = LineOfLength("#[TRACE_PATH] [d:/tail/]", 51, '-');
    ASSERT_EQ(150u, (head + tail).size());
    const std::string file = "[GLOBAL]\n" + head + tail + "\n[TRACE_PATH] [d:/next/]\n";
    EXPECT_EQ(Found("d:/next/"), Read(file, "GLOBAL", "TRACE_PATH"));

    // A tail that starts with '#' is a comment even when its line did not start as one.
    const std::string plainHead = LineOfLength("plain text", 99, '-');
    const std::string plainFile = "[GLOBAL]\n" + plainHead + tail + "\n[TRACE_PATH] [d:/next/]\n";
    EXPECT_EQ(Found("d:/next/"), Read(plainFile, "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, SectionHeaderInTheTailOfALongLineStartsTheKeySearch)
{
    const std::string file = LineOfLength("", 99, '-') + "[GLOBAL]\n[TRACE_PATH] [d:/t/]\n";
    EXPECT_EQ(Found("d:/t/"), Read(file, "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, KeyLineOfNinetyNineCharactersKeepsItsValue)
{
    const std::string value = "[d:/t/]";
    const std::string line = LineOfLength("[TRACE_PATH]", 99 - value.size()) + value;
    ASSERT_EQ(99u, line.size());
    EXPECT_EQ(Found("d:/t/"), Read("[GLOBAL]\n" + line + "\n", "GLOBAL", "TRACE_PATH"));
}

TEST_F(ConfigReaderTest, KeyLineSplitBeforeTheValueLosesIt)
{
    // One character more and the value's closing bracket lands in the next
    // piece: the key's own piece has no complete value, which ends the search.
    const std::string value = "[d:/t/]";
    const std::string line = LineOfLength("[TRACE_PATH]", 100 - value.size()) + value;
    ASSERT_EQ(100u, line.size());
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n" + line + "\n[TRACE_PATH] [d:/later/]\n", "GLOBAL", "TRACE_PATH"));

    const std::string farValue = LineOfLength("[TRACE_PATH]", 120) + value;
    EXPECT_EQ(kNotFound, Read("[GLOBAL]\n" + farValue + "\n", "GLOBAL", "TRACE_PATH"));
}

// --- line breaks -------------------------------------------------------------

TEST_F(ConfigReaderTest, CrLfFileIsRead)
{
    const std::string file = "# written on Windows\r\n"
                             "[GLOBAL]\r\n"
                             "[TRACE_PATH]    [d:/trace/]\r\n"
                             "[DEBUG_LEVEL]   [1]\r\n";
    EXPECT_EQ(Found("d:/trace/"), Read(file, "GLOBAL", "TRACE_PATH"));
    EXPECT_EQ(Found("1"), Read(file, "GLOBAL", "DEBUG_LEVEL"));
    EXPECT_EQ(kNotFound, Read(file, "GLOBAL", "MISSING_KEY"));
}

TEST_F(ConfigReaderTest, CrLfCommentLinesStayComments)
{
    const std::string file = "[GLOBAL]\r\n"
                             "#[TRACE_PATH] [d:/comment/]\r\n"
                             "[TRACE_PATH] [d:/real/]\r\n";
    EXPECT_EQ(Found("d:/real/"), Read(file, "GLOBAL", "TRACE_PATH"));
}

// --- the file is closed again ------------------------------------------------

#ifndef _WIN32
int OpenDescriptorCount()
{
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}
#endif

TEST_F(ConfigReaderTest, FileIsClosedOnEveryOutcome)
{
    struct Case {
        const char* what;
        std::string content;
        Lookup expected;
    };
    const Case cases[] = {
        {"value found", "[GLOBAL]\n[TRACE_PATH] [d:/t/]\n", Found("d:/t/")},
        {"section missing", "[OTHER]\n[TRACE_PATH] [d:/t/]\n", kNotFound},
        {"key missing", "[GLOBAL]\n[DEBUG_LEVEL] [1]\n", kNotFound},
        {"key without value", "[GLOBAL]\n[TRACE_PATH]\n", kNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Config(c.content);
#ifndef _WIN32
        const int before = OpenDescriptorCount();
        EXPECT_EQ(c.expected, ReadPath(path, "GLOBAL", "TRACE_PATH"));
        EXPECT_EQ(before, OpenDescriptorCount()) << "open descriptors before and after the lookup";
#else
        EXPECT_EQ(c.expected, ReadPath(path, "GLOBAL", "TRACE_PATH"));
#endif
        // A file still held open cannot be removed on Windows.
        std::error_code error;
        EXPECT_TRUE(std::filesystem::remove(path, error)) << "removing the file after the lookup: " << error.message();
    }
}

// As atoi reads it, in decimal whatever its leading zeros, saturating beyond 32 bits.
TEST(DebugLevel, IsReadAsADecimalNumberLikeAtoi)
{
    const std::pair<const char*, int32_t> levels[] = {
        {"2", 2},   {" +2", 2},  {"-1", -1}, {"2x", 2}, {"abc", 0}, {"", 0}, {"010", 10}, {"08", 8}, {"0x1", 0},
        {"4294967296", INT32_MAX}, {"-4294967295", INT32_MIN}};
    for (const auto& [text, level] : levels) EXPECT_EQ(level, ParseDebugLevel(text)) << "\"" << text << "\"";
}

}  // namespace
