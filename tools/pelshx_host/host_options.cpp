#include "host_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace {

constexpr unsigned kLongestHoldMilliseconds = 3600000;

const char kDescription[] = R"(Plays STREAM_FILE through the player plug-in as a video host does: creates the
player, initialises it, binds and opens a port on a window, feeds the stream in
chunks through Play_InputData, closes the port and releases the player. Prints
every call with its result and duration (calls of 50 ms or more are flagged),
what the vendor library received when it keeps a journal (the stand-in does),
and a summary. With --check it checks the installation instead and plays
nothing; with --bench it times Play_InputData instead.)";

const char kFooter[] = R"(--pause and --step may each be given once; an AT at or past the stream's last
chunk is an error (exit 2), found once the stream file is open.
Ctrl-C stops feeding, closes the port, releases the player and prints the
summary marked as interrupted.

Exit status: 0 when every call gave the expected result (for --check: the
installation is sound); 1 when a call did not; 2 for a bad command line; 3 when
the plug-in cannot be loaded or lacks an export; 4 when the stream file cannot
be read or is empty; 5 when --check found a problem; 130 when interrupted.)";

// "AT:VALUE": AT a chunk count, VALUE from 1 to kLongestHoldMilliseconds.
void ParsePair(const std::string& option, const std::string& text, uint64_t& at, unsigned& value)
{
    const std::size_t colon = text.find(':');
    const auto isCount = [](const std::string& digits) {
        return !digits.empty() && digits.size() <= 18 &&
               std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::string first = colon == std::string::npos ? "" : text.substr(0, colon);
    const std::string second = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (!isCount(first) || !isCount(second) || std::stoull(second) < 1 ||
        std::stoull(second) > kLongestHoldMilliseconds)
        throw CLI::ValidationError(option, "wants AT:COUNT, AT a chunk count, COUNT from 1 to " +
                                               std::to_string(kLongestHoldMilliseconds) + ", not \"" + text + "\"");
    at = std::stoull(first);
    value = static_cast<unsigned>(std::stoull(second));
}

const CLI::Validator kNotEmpty(
    [](std::string& value) { return value.empty() ? std::string("needs a value that is not empty") : std::string(); },
    "", "not empty");

const CLI::Validator kOneCharacter(
    [](std::string& value) { return value.size() == 1 ? std::string() : "wants one character, not \"" + value + "\""; },
    "", "one character");

void AddPlaybackOptions(CLI::App& app, HostOptions& options)
{
    app.add_option("--port", options.port, "play port (default 0)")
        ->type_name("N")
        ->check(CLI::Range(INT32_MIN, INT32_MAX));
    app.add_option("--open-mode", options.openMode, "open mode for Play_SetOpenMode (default 0)")
        ->type_name("N")
        ->check(CLI::Range(INT32_MIN, INT32_MAX));
    app.add_option("--chunk", options.chunkBytes, "bytes per Play_InputData call (default 4096)")
        ->type_name("BYTES")
        ->check(CLI::Range(1, 1 << 24));
    app.add_option("--rate", options.chunksPerSecond,
                   "chunks per second; 0 feeds as fast as the plug-in returns (default 25)")
        ->type_name("N")
        ->check(CLI::Range(0, 100000));
    app.add_option_function<std::string>(
           "--data-type",
           [&options](const std::string& value) { options.dataType = static_cast<unsigned char>(value[0]); },
           "data type character for Play_InputData, such as A (default: 0)")
        ->type_name("C")
        ->check(kOneCharacter);
    app.add_flag_function(
           "--no-window", [&options](int64_t) { options.window = false; },
           "open the stream on a null window even where a real one can be made")
        ->disable_flag_override();
    app.add_option_function<std::string>(
           "--pause",
           [&options](const std::string& value) {
               PauseRequest& pause = options.pause.emplace();
               ParsePair("--pause", value, pause.afterChunks, pause.milliseconds);
           },
           "after AT chunks, pause (play state 2) for MS milliseconds (1 to 3600000), then play (state 1)")
        ->type_name("AT:MS")
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.add_option_function<std::string>(
           "--step",
           [&options](const std::string& value) {
               StepRequest& step = options.step.emplace();
               ParsePair("--step", value, step.afterChunks, step.steps);
           },
           "after AT chunks, enter step mode (play state 9), show one input held back, feed COUNT chunks "
           "one step each, then play again (state 1)")
        ->type_name("AT:COUNT")
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.add_option_function<int32_t>(
           "--volume", [&options](int32_t level) { options.volume = level; },
           "set the volume after opening (0 switches the sound off) and read it back")
        ->type_name("LEVEL")
        ->check(CLI::Range(INT32_MIN, INT32_MAX));
}

void AddReportOptions(CLI::App& app, HostOptions& options)
{
    app.add_option("--capture", options.capturePath, "capture a picture into FILE after feeding")
        ->type_name("FILE")
        ->check(kNotEmpty);
    app.add_flag("--read-back", options.readBack, "read back the port's settings before closing")
        ->disable_flag_override();
    app.add_flag("--each-input", options.eachInput,
                 "list every Play_InputData call (default: the first, the last, those in step mode, and any that "
                 "failed, were slow or that the vendor library refused at first)")
        ->disable_flag_override();
    app.add_option_function<std::string>(
           "--journal",
           [&options](const std::string& mode) {
               const std::map<std::string, JournalMode> modes = {
                   {"runs", JournalMode::Runs}, {"full", JournalMode::Full}, {"off", JournalMode::Off}};
               options.journal = modes.at(mode);
           },
           "vendor journal: runs (repeats folded, default), full, or off")
        ->type_name("MODE")
        ->check(CLI::IsMember({"runs", "full", "off"}));
}

// The whole command line; `version` is set by --version.
std::unique_ptr<CLI::App> MakeApp(HostOptions& options, bool& version)
{
    auto app = std::make_unique<CLI::App>(kDescription, "pelshx_host");
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // a later option wins
    app->set_help_flag("-h,--help", "show this help and exit");
    app->footer(kFooter);
    app->get_formatter()->column_width(26);
    app->add_flag("--check", options.check,
                  "check the installation (plug-in, vendor library, configuration file, logs) and change nothing")
        ->disable_flag_override();
    app->add_flag("--bench", options.bench,
                  "time Play_InputData at debug levels 0 and 2 against the same work done directly, print the "
                  "ratios (rewrites the configuration file for the run, then puts it back)")
        ->disable_flag_override();
    app->add_option("--plugin", options.pluginPath, "the plug-in library (default: PelShx_PlaySDK beside this program)")
        ->type_name("PATH")
        ->check(kNotEmpty);
    AddPlaybackOptions(*app, options);
    AddReportOptions(*app, options);
    app->add_flag("--version", version, "print this program's version and the plug-in's file version")
        ->disable_flag_override();
    app->add_option("STREAM_FILE", options.streamFile, "the recorded stream to play");
    return app;
}

// The arguments as given, with the Windows help request "/?" taken as "--help".
std::vector<std::string> Arguments(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = argc - 1; i > 0; --i) arguments.push_back(std::string(argv[i]) == "/?" ? "--help" : argv[i]);
    return arguments;  // reversed, as CLI11 takes them
}

// An attached value left empty, as in "--plugin=": CLI11 would take the next
// argument as the value instead.
bool EmptyAttachedValue(const std::vector<std::string>& arguments, std::string& error)
{
    for (const std::string& argument : arguments)
        if (argument.size() > 3 && argument.compare(0, 2, "--") == 0 && argument.find('=') == argument.size() - 1) {
            error = argument.substr(0, argument.size() - 1) + " needs a value after '='";
            return true;
        }
    return false;
}

// CLI11 takes the argument after an option that needs a value as that value,
// whatever it is; an option there means the value was left out.
bool OptionTakenAsValue(const CLI::App& app, const std::vector<std::string>& arguments, std::string& error)
{
    const auto looksLikeOption = [](const std::string& argument) {
        return argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9');
    };
    // The arguments run backwards: each one's successor comes before it.
    for (std::size_t i = arguments.size(); i-- > 1;) {
        const std::string& argument = arguments[i];
        if (argument == "--") break;
        const CLI::Option* option = looksLikeOption(argument) ? app.get_option_no_throw(argument) : nullptr;
        if (option == nullptr || option->get_expected_min() == 0 || !looksLikeOption(arguments[i - 1])) continue;
        error = argument + " needs a value (" + option->get_type_name() + "), not the option " + arguments[i - 1];
        return true;
    }
    return false;
}

// CLI11 names a flag without its dashes when it is given a value.
std::string Explained(const CLI::ParseError& mistake)
{
    const std::string message = mistake.what();
    const std::size_t override = message.find(" was given a disallowed flag override");
    return override == std::string::npos ? message : "--" + message.substr(0, override) + " takes no value";
}

// Like other command-line tools, a mistake before the help request is
// reported rather than the help.
ParseOutcome MistakeBeforeHelp(std::vector<std::string> arguments, std::string& error)
{
    const auto help = std::find_if(arguments.rbegin(), arguments.rend(), [](const std::string& argument) {
        return argument == "-h" || argument == "--help";
    });
    arguments.erase(arguments.begin(), help.base());
    HostOptions ignored;
    try {
        bool version = false;
        MakeApp(ignored, version)->parse(arguments);
    } catch (const CLI::ParseError& mistake) {
        error = Explained(mistake);
        return ParseOutcome::Error;
    }
    return ParseOutcome::Help;
}

}  // namespace

ParseOutcome ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error)
{
    const std::vector<std::string> arguments = Arguments(argc, argv);
    if (EmptyAttachedValue(arguments, error)) return ParseOutcome::Error;
    bool version = false;
    const std::unique_ptr<CLI::App> app = MakeApp(options, version);
    if (OptionTakenAsValue(*app, arguments, error)) return ParseOutcome::Error;
    try {
        app->parse(std::vector<std::string>(arguments));
    } catch (const CLI::CallForHelp&) {
        return MistakeBeforeHelp(arguments, error);
    } catch (const CLI::ParseError& mistake) {
        error = Explained(mistake);
        return ParseOutcome::Error;
    }
    if (version) return ParseOutcome::Version;
    if (options.check) return ParseOutcome::Check;
    if (options.bench) return ParseOutcome::Bench;
    if (options.streamFile.empty()) {
        error = "no stream file given";
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}

std::string HostUsage()
{
    HostOptions options;
    bool version = false;
    return MakeApp(options, version)->help();
}
