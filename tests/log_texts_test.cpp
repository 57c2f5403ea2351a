// The GBK byte literals of the log texts against the Chinese written beside
// each of them: the comment, converted from UTF-8 to GBK, must give the same
// bytes as the compiled literal.

#include "trace/log_texts.h"

#include "file_helpers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <string>
#include <vector>

#ifndef LOG_TEXTS_HEADER
#error "LOG_TEXTS_HEADER must name the header with the log texts"
#endif

namespace {

using test_files::Escaped;

// One TEXT(name, "...") /* ... */ entry as it stands in the header.
struct Entry {
    std::string name;
    std::string literal;  // the bytes the string literal(s) stand for
    std::string comment;  // the comment's text, trimmed
    int line = 0;
};

bool IsIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool Fail(std::string& error, const std::string& message)
{
    error = message;
    return false;
}

class HeaderParser {
public:
    explicit HeaderParser(std::string text) : text_(std::move(text)) {}

    // Every entry of the header; problems found on the way go to `errors`.
    std::vector<Entry> Entries(std::vector<std::string>& errors)
    {
        std::vector<Entry> entries;
        const std::string opener = "TEXT(";
        for (std::size_t at = text_.find(opener); at != std::string::npos; at = text_.find(opener, at + 1)) {
            if (at > 0 && IsIdentifierChar(text_[at - 1])) continue;  // part of a longer name
            pos_ = at + opener.size();
            Entry entry;
            entry.line = LineOf(at);
            std::string error;
            if (ParseEntry(entry, error))
                entries.push_back(entry);
            else
                errors.push_back("line " + std::to_string(entry.line) + ": " + error);
        }
        return entries;
    }

private:
    int LineOf(std::size_t at) const
    {
        int line = 1;
        for (std::size_t i = 0; i < at && i < text_.size(); ++i)
            if (text_[i] == '\n') ++line;
        return line;
    }

    // Spaces, tabs, line breaks and the macro's line continuations.
    void SkipSpace()
    {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\\')
                ++pos_;
            else
                break;
        }
    }

    bool ParseEntry(Entry& entry, std::string& error)
    {
        SkipSpace();
        const std::size_t nameStart = pos_;
        while (pos_ < text_.size() && IsIdentifierChar(text_[pos_])) ++pos_;
        entry.name = text_.substr(nameStart, pos_ - nameStart);
        if (entry.name.empty()) return Fail(error, "no name after TEXT(");
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != ',') return Fail(error, entry.name + ": no ',' after the name");
        ++pos_;
        SkipSpace();
        bool anyLiteral = false;
        while (pos_ < text_.size() && text_[pos_] == '"') {
            if (!ParseLiteral(entry.literal, error)) return Fail(error, entry.name + ": " + error);
            anyLiteral = true;
            SkipSpace();
        }
        if (!anyLiteral) return Fail(error, entry.name + ": no string literal");
        if (pos_ >= text_.size() || text_[pos_] != ')') return Fail(error, entry.name + ": no ')' after the literal");
        ++pos_;
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        if (text_.compare(pos_, 2, "/*") != 0) return Fail(error, entry.name + ": no comment on the entry's line");
        const std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string::npos) return Fail(error, entry.name + ": comment not closed");
        entry.comment = Trimmed(text_.substr(pos_ + 2, end - pos_ - 2));
        if (entry.comment.empty()) return Fail(error, entry.name + ": empty comment");
        pos_ = end + 2;
        return true;
    }

    // One "..." literal with its escapes; pos_ is on the opening quote.
    bool ParseLiteral(std::string& bytes, std::string& error)
    {
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            const char c = text_[pos_++];
            if (c == '\n') return Fail(error, "line break inside a literal");
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (pos_ >= text_.size()) break;
            const char e = text_[pos_++];
            if (e == 'x') {
                // As in C, a hexadecimal escape takes every hex digit that follows.
                unsigned value = 0;
                int digits = 0;
                while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
                    const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
                    value = value * 16 + static_cast<unsigned>(d <= '9' ? d - '0' : d - 'a' + 10);
                    ++digits;
                }
                if (digits == 0 || value > 0xff) return Fail(error, "bad hexadecimal escape");
                bytes += static_cast<char>(value);
            } else if (e == '\\' || e == '"' || e == '\'') {
                bytes += e;
            } else if (e == 'n') {
                bytes += '\n';
            } else {
                return Fail(error, std::string("unexpected escape \\") + e);
            }
        }
        if (pos_ >= text_.size()) return Fail(error, "literal not closed");
        ++pos_;
        return true;
    }

    static std::string Trimmed(const std::string& text)
    {
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos) return "";
        const std::size_t last = text.find_last_not_of(" \t");
        return text.substr(first, last - first + 1);
    }

    std::string text_;
    std::size_t pos_ = 0;
};

// UTF-8 to GBK with the C library's converter; false when a character has no
// GBK form or the input is not UTF-8.
bool Utf8ToGbk(const std::string& utf8, std::string& gbk)
{
    iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string input = utf8;
    std::vector<char> output(utf8.size() * 2 + 16);
    char* in = &input[0];
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1) || inLeft != 0) return false;
    gbk.assign(output.data(), output.size() - outLeft);
    return true;
}

const std::map<std::string, std::string>& CompiledTexts()
{
#define PELSHX_TEXT_ENTRY(name, gbk) {#name, texts::name},
    static const std::map<std::string, std::string> table = {PELSHX_LOG_TEXTS(PELSHX_TEXT_ENTRY)};
#undef PELSHX_TEXT_ENTRY
    return table;
}

class LogTextsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::string header = test_files::ReadBytes(LOG_TEXTS_HEADER);
        ASSERT_FALSE(header.empty()) << "could not read " << LOG_TEXTS_HEADER;
        entries = HeaderParser(header).Entries(parseErrors);
    }

    static std::vector<Entry> entries;
    static std::vector<std::string> parseErrors;
};

std::vector<Entry> LogTextsTest::entries;
std::vector<std::string> LogTextsTest::parseErrors;

TEST_F(LogTextsTest, EveryEntryOfTheHeaderIsWellFormed)
{
    for (const std::string& error : parseErrors) ADD_FAILURE() << LOG_TEXTS_HEADER << ", " << error;
    EXPECT_FALSE(entries.empty()) << "no TEXT(...) entry found in " << LOG_TEXTS_HEADER;
}

TEST_F(LogTextsTest, ConverterIsAvailable)
{
    std::string gbk;
    ASSERT_TRUE(Utf8ToGbk("\xe5\x8f\x82\xe6\x95\xb0", gbk)) << "iconv from UTF-8 to GBK";
    EXPECT_EQ("\xb2\xce\xca\xfd", gbk) << "GBK of the UTF-8 text 参数";
}

TEST_F(LogTextsTest, EveryLiteralIsTheGbkFormOfItsComment)
{
    const auto& compiled = CompiledTexts();
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.name + " (line " + std::to_string(entry.line) + ", comment " + entry.comment + ")");
        std::string gbk;
        if (!Utf8ToGbk(entry.comment, gbk)) {
            ADD_FAILURE() << "the comment has no GBK form";
            continue;
        }
        EXPECT_EQ(gbk, entry.literal) << "GBK of the comment, and the literal as written";
        const auto found = compiled.find(entry.name);
        if (found == compiled.end()) {
            ADD_FAILURE() << "the entry is not among the compiled texts";
            continue;
        }
        EXPECT_EQ(gbk, found->second) << "GBK of the comment, and the compiled text";
    }
}

TEST_F(LogTextsTest, EveryCompiledTextHasItsEntryWithComment)
{
    std::map<std::string, int> parsed;
    for (const Entry& entry : entries) ++parsed[entry.name];
    for (const auto& [name, bytes] : CompiledTexts()) {
        const auto found = parsed.find(name);
        if (found == parsed.end())
            ADD_FAILURE() << name << " (\"" << Escaped(bytes) << "\") has no entry with a comment in the header";
        else
            EXPECT_EQ(1, found->second) << "entries named " << name;
    }
    EXPECT_EQ(CompiledTexts().size(), entries.size()) << "compiled texts and entries read from the header";
}

}  // namespace
