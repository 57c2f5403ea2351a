// The GBK byte literals of the log texts against the Chinese written beside
// each of them: the comment, converted from UTF-8 to GBK, must give the bytes
// of the compiled text.

#include "trace/log_texts.h"

#include "support/file_helpers.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <map>
#include <regex>
#include <string>
#include <vector>

#ifndef LOG_TEXTS_HEADER
#error "LOG_TEXTS_HEADER must name the header with the log texts"
#endif

namespace {

using test_files::Escaped;

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

// Every TEXT(name, ...) of the header with the comment that closes its entry.
std::multimap<std::string, std::string> CommentsInHeader()
{
    const std::string header = test_files::ReadBytes(LOG_TEXTS_HEADER);
    EXPECT_FALSE(header.empty()) << "could not read " << LOG_TEXTS_HEADER;
    const std::regex entry(R"(\bTEXT\((\w+),[^)]*\)\s*/\*\s*([^*]*?)\s*\*/)");
    std::multimap<std::string, std::string> comments;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), entry); it != std::sregex_iterator(); ++it)
        comments.emplace((*it)[1], (*it)[2]);
    return comments;
}

TEST(LogTexts, ConverterIsAvailable)
{
    std::string gbk;
    ASSERT_TRUE(Utf8ToGbk("\xe5\x8f\x82\xe6\x95\xb0", gbk)) << "iconv from UTF-8 to GBK";
    EXPECT_EQ("\xb2\xce\xca\xfd", gbk) << "GBK of the UTF-8 text 参数";
}

TEST(LogTexts, EveryCompiledTextIsTheGbkFormOfItsComment)
{
    const auto comments = CommentsInHeader();
    EXPECT_EQ(CompiledTexts().size(), comments.size()) << "compiled texts and commented entries in the header";
    for (const auto& [name, bytes] : CompiledTexts()) {
        SCOPED_TRACE(name + " \"" + Escaped(bytes) + "\"");
        ASSERT_EQ(1u, comments.count(name)) << "entries with a comment";
        const std::string& comment = comments.find(name)->second;
        std::string gbk;
        ASSERT_TRUE(Utf8ToGbk(comment, gbk)) << "the comment " << comment << " has no GBK form";
        EXPECT_EQ(Escaped(gbk), Escaped(bytes)) << "GBK of " << comment << ", and the compiled text";
    }
}

}  // namespace
