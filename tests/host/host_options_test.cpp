#include "host_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
    ParseOutcome outcome;
    HostOptions options;
    std::string error;
};

Parsed Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "pelshx_host");
    Parsed parsed{ParseOutcome::Error, {}, {}};
    parsed.outcome =
        ParseHostOptions(static_cast<int>(arguments.size()), arguments.data(), parsed.options, parsed.error);
    return parsed;
}

using Mistakes = std::vector<std::pair<std::vector<const char*>, std::string>>;

// Each command line is refused with a message holding the text paired with it.
void ExpectRefusedNaming(const Mistakes& mistakes)
{
    for (const auto& [arguments, named] : mistakes) {
        const Parsed parsed = Parse(arguments);
        EXPECT_EQ(ParseOutcome::Error, parsed.outcome) << named;
        EXPECT_NE(std::string::npos, parsed.error.find(named)) << parsed.error;
    }
}

TEST(HostOptions, DefaultsNeedOnlyTheStreamFile)
{
    const Parsed parsed = Parse({"stream.bin"});
    ASSERT_EQ(ParseOutcome::Run, parsed.outcome) << parsed.error;
    EXPECT_EQ("stream.bin", parsed.options.streamFile);
    EXPECT_EQ(0, parsed.options.port);
    EXPECT_EQ(4096u, parsed.options.chunkBytes);
    EXPECT_EQ(25u, parsed.options.chunksPerSecond);
    EXPECT_TRUE(parsed.options.window);
    EXPECT_EQ(0, parsed.options.holdSeconds);
    EXPECT_FALSE(parsed.options.pause || parsed.options.step || parsed.options.volume);
}

TEST(HostOptions, TakesValuesAttachedOrAsTheNextArgument)
{
    const Parsed parsed =
        Parse({"--port=5", "--chunk", "100", "stream.bin", "--capture", "p.bmp", "--volume=-3", "--hold", "2.5"});
    ASSERT_EQ(ParseOutcome::Run, parsed.outcome) << parsed.error;
    EXPECT_EQ(5, parsed.options.port);
    EXPECT_EQ(2.5, parsed.options.holdSeconds);
    EXPECT_EQ(100u, parsed.options.chunkBytes);
    EXPECT_EQ("p.bmp", parsed.options.capturePath);
    EXPECT_EQ(-3, parsed.options.volume.value_or(0));
    EXPECT_EQ("stream.bin", parsed.options.streamFile);
}

TEST(HostOptions, ALaterOptionWinsOverAnEarlierOne)
{
    const Parsed parsed = Parse({"--rate=50", "--port=5", "stream.bin", "--rate=0", "--port=7"});
    ASSERT_EQ(ParseOutcome::Run, parsed.outcome) << parsed.error;
    EXPECT_EQ(0u, parsed.options.chunksPerSecond);
    EXPECT_EQ(7, parsed.options.port);
}

TEST(HostOptions, ReadsPauseStepFlagsAndDataType)
{
    const Parsed parsed = Parse({"--pause=3:250", "--step", "0:4", "--no-window", "--read-back", "--each-input",
                                 "--data-type=A", "stream.bin"});
    ASSERT_EQ(ParseOutcome::Run, parsed.outcome) << parsed.error;
    ASSERT_TRUE(parsed.options.pause && parsed.options.step);
    EXPECT_EQ(3u, parsed.options.pause->afterChunks);
    EXPECT_EQ(250u, parsed.options.pause->count);
    EXPECT_EQ(0u, parsed.options.step->afterChunks);
    EXPECT_EQ(4u, parsed.options.step->count);
    EXPECT_FALSE(parsed.options.window);
    EXPECT_TRUE(parsed.options.readBack);
    EXPECT_TRUE(parsed.options.eachInput);
    EXPECT_EQ('A', parsed.options.dataType);
}

TEST(HostOptions, DoubleDashEndsTheOptions)
{
    const Parsed parsed = Parse({"--port=2", "--", "--odd-name.bin"});
    ASSERT_EQ(ParseOutcome::Run, parsed.outcome) << parsed.error;
    EXPECT_EQ("--odd-name.bin", parsed.options.streamFile);
}

TEST(HostOptions, HelpNeedsNoStreamFileAndWinsOverOtherArguments)
{
    EXPECT_EQ(ParseOutcome::Help, Parse({"--help"}).outcome);
    EXPECT_EQ(ParseOutcome::Help, Parse({"--port=5", "-h", "--bogus"}).outcome);
    EXPECT_EQ(ParseOutcome::Help, Parse({"--bogus", "--help"}).outcome);
}

TEST(HostOptions, RejectsMistakesAndNamesThem)
{
    const Mistakes mistakes = {
        {{"--port=5x", "s.bin"}, "--port"},
        {{"--port=2147483648", "s.bin"}, "--port"},
        {{"--chunk=0", "s.bin"}, "--chunk"},
        {{"--chunk=16777217", "s.bin"}, "--chunk"},
        {{"--rate=-1", "s.bin"}, "--rate"},
        {{"--pause=3", "s.bin"}, "--pause"},
        {{"--pause=3:0", "s.bin"}, "--pause"},
        {{"--step=x:2", "s.bin"}, "--step"},
        {{"--data-type=AB", "s.bin"}, "--data-type"},
        {{"--no-window=1", "s.bin"}, "no-window"},
        {{"s.bin", "--volume"}, "--volume"},
        {{"--bogus", "s.bin"}, "--bogus"},
        {{"-x", "s.bin"}, "-x"},
        {{}, "no stream file"},
        {{"a.bin", "b.bin"}, "b.bin"},
    };
    ExpectRefusedNaming(mistakes);
}

TEST(HostOptions, AnOptionNeedingAValueRefusesAFollowingOptionAsIt)
{
    const Mistakes mistakes = {
        {{"--capture", "--read-back", "rec.bin"}, "--capture"},
        {{"--plugin", "--rate=0", "f"}, "--plugin"},
        {{"--capture", "-h", "f"}, "--capture"},
        {{"--plugin=", "--rate=0", "f"}, "--plugin"},
    };
    ExpectRefusedNaming(mistakes);
}

TEST(HostOptions, RangeErrorsSayTheRange)
{
    const Mistakes mistakes = {
        {{"--chunk=0", "s.bin"}, "16777216"},
        {{"--rate=100001", "s.bin"}, "100000"},
        {{"--port=2147483648", "s.bin"}, "2147483647"},
        {{"--pause=3:0", "s.bin"}, "3600000"},
        {{"--step=1:3600001", "s.bin"}, "3600000"},
        {{"--hold=3601", "s.bin"}, "3600"},
        {{"--hold=-1", "s.bin"}, "3600"},
    };
    ExpectRefusedNaming(mistakes);
}

TEST(HostOptions, HelpVersionAndCheckNeedNoStreamFile)
{
    EXPECT_EQ(ParseOutcome::Help, Parse({"/?"}).outcome);
    EXPECT_EQ(ParseOutcome::Help, Parse({"-h"}).outcome);
    EXPECT_EQ(ParseOutcome::Version, Parse({"--version"}).outcome);
    const Parsed check = Parse({"--check", "--plugin=p.dll"});
    ASSERT_EQ(ParseOutcome::Check, check.outcome) << check.error;
    EXPECT_EQ("p.dll", check.options.pluginPath);
}

TEST(HostOptions, PauseAndStepMayBeGivenOnce)
{
    ExpectRefusedNaming({{{"--pause=1:10", "--pause=5:10", "s.bin"}, "--pause"},
                         {{"--step=1:10", "--step=5:10", "s.bin"}, "--step"}});
}

}  // namespace
