#include "host_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

constexpr unsigned kLongestRequest = 3600000;

const char kDescription[] = R"(Plays STREAM_FILE through the player plug-in as a video host does: creates the
player, initialises it, binds and opens a port on a window, feeds the stream in
chunks through Play_InputData while serving the window (a repaint asks for
Play_RefreshPlay, a new size for Play_GetPictureSize), closes the port and
releases the player. Prints every call with its result and duration (calls of
50 ms or more are flagged) and a summary. With --check it checks the
installation instead and plays nothing.)";

const char kFooter[] = R"(--pause and --step may each be given once; an AT at or past the stream's last
chunk is an error (exit 2), found once the stream file is open. STREAM_FILE
must be a file: a pipe cannot be replayed (exit 4).
Ctrl-C, or closing the window, stops feeding, closes the port, releases the
player and prints the summary marked as interrupted; during --hold they only
end the hold.

Exit status: 0 when every call gave the expected result (for --check: the
installation is sound); 1 when a call did not; 2 for a bad command line; 3 when
the plug-in cannot be loaded or lacks an export; 4 when the stream file cannot
be read, is empty or is no file; 5 when --check found a problem; 6 when the
program ran out of memory; 130 when interrupted.)";

template <typename Number>
bool ReadNumber(const std::string& text, Number& number)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return error == std::errc() && stop == end;
}

// "AT:N": AT a chunk count, N from 1 to kLongestRequest.
bool ReadChunkRequest(const std::string& text, ChunkRequest& request)
{
    const std::size_t colon = text.find(':');
    return colon != std::string::npos && ReadNumber(text.substr(0, colon), request.afterChunks) &&
           ReadNumber(text.substr(colon + 1), request.count) && request.count >= 1 &&
           request.count <= kLongestRequest;
}

const CLI::Validator kChunkRequest(
    [](const std::string& text) {
        ChunkRequest ignored;
        return ReadChunkRequest(text, ignored) ? std::string()
                                               : "wants AT:N, AT a chunk count and N from 1 to " +
                                                     std::to_string(kLongestRequest) + ", not \"" + text + "\"";
    },
    "");

// CLI11 takes the argument after an option as its value, whatever it is: one
// that looks like an option means that the value was left out.
const CLI::Validator kNoOption(
    [](const std::string& value) {
        const bool option = value.size() > 1 && value[0] == '-' && (value[1] < '0' || value[1] > '9');
        return option ? "needs a value, not the option " + value : std::string();
    },
    "");

const CLI::Validator kNotEmpty(
    [](const std::string& value) { return value.empty() ? std::string("needs a value that is not empty") : ""; }, "");

const CLI::Validator kOneCharacter(
    [](const std::string& value) { return value.size() == 1 ? std::string() : "wants one character, not \"" + value + "\""; },
    "");

// A number that must lie from low to high, which the help shows.
template <typename Number, typename Bound>
void AddNumber(CLI::App& app, const char* name, Number& number, const char* typeName, Bound low, Bound high,
               const char* meaning)
{
    app.add_option(name, number, meaning)->type_name(typeName)->check(CLI::Range(low, high));
}

void AddChunkRequest(CLI::App& app, const char* name, std::optional<ChunkRequest>& request, const char* meaning)
{
    app.add_option_function<std::string>(
           name, [&request](const std::string& text) { ReadChunkRequest(text, request.emplace()); }, meaning)
        ->type_name(name == std::string("--pause") ? "AT:MS" : "AT:COUNT")
        ->check(kNoOption & kChunkRequest)
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

void AddPlaybackOptions(CLI::App& app, HostOptions& options)
{
    AddNumber(app, "--port", options.port, "N", INT32_MIN, INT32_MAX, "play port (default 0)");
    AddNumber(app, "--open-mode", options.openMode, "N", INT32_MIN, INT32_MAX,
              "open mode for Play_SetOpenMode (default 0)");
    AddNumber(app, "--chunk", options.chunkBytes, "BYTES", 1, 1 << 24, "bytes per Play_InputData call (default 4096)");
    AddNumber(app, "--rate", options.chunksPerSecond, "N", 0, 100000,
              "chunks per second; 0 feeds as fast as the plug-in returns (default 25)");
    app.add_option_function<std::string>(
           "--data-type",
           [&options](const std::string& value) { options.dataType = static_cast<unsigned char>(value[0]); },
           "data type character for Play_InputData, such as A (default: 0)")
        ->type_name("C")
        ->check(kNoOption & kOneCharacter);
    app.add_flag_function(
        "--no-window", [&options](int64_t) { options.window = false; },
        "open the stream on a null window even where a real one can be made");
    AddNumber(app, "--hold", options.holdSeconds, "SECONDS", 0.0, 3600.0,
              "keep the window open SECONDS after the stream before closing the port (default 0); closing it or "
              "Ctrl-C ends the hold");
    AddChunkRequest(app, "--pause", options.pause,
                    "after AT chunks, pause (play state 2) for MS milliseconds (1 to 3600000), then play (state 1)");
    AddChunkRequest(app, "--step", options.step,
                    "after AT chunks, enter step mode (play state 9), show one input held back, feed COUNT chunks "
                    "one step each, then play again (state 1)");
    AddNumber(app, "--volume", options.volume, "LEVEL", INT32_MIN, INT32_MAX,
              "set the volume after opening (0 switches the sound off) and read it back");
}

void AddReportOptions(CLI::App& app, HostOptions& options)
{
    app.add_option("--capture", options.capturePath, "capture a picture into FILE after feeding")
        ->type_name("FILE")
        ->check(kNoOption & kNotEmpty);
    app.add_flag("--read-back", options.readBack, "read back the port's settings before closing");
    app.add_flag("--each-input", options.eachInput,
                 "list every Play_InputData call (default: the first, the last, those in step mode, and any that "
                 "failed or were slow)");
}

// The whole command line; `version` is set by --version.
std::unique_ptr<CLI::App> MakeApp(HostOptions& options, bool& version)
{
    auto app = std::make_unique<CLI::App>(kDescription, "pelshx_host");
    // A later option wins; a flag takes no value.
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();
    app->set_help_flag("-h,--help", "show this help and exit");
    app->footer(kFooter);
    app->get_formatter()->column_width(26);
    app->add_flag("--check", options.check,
                  "check the installation (plug-in, vendor library, configuration file, logs); what it makes to "
                  "find out, it removes");
    app->add_option("--plugin", options.pluginPath, "the plug-in library (default: PelShx_PlaySDK beside this program)")
        ->type_name("PATH")
        ->check(kNoOption & kNotEmpty);
    AddPlaybackOptions(*app, options);
    AddReportOptions(*app, options);
    app->add_flag("--version", version, "print this program's version and the plug-in's file version");
    app->add_option("STREAM_FILE", options.streamFile, "the recorded stream to play");
    return app;
}

}  // namespace

ParseOutcome ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& message)
{
    // CLI11 takes the arguments last first; "/?" is the Windows help request.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::reverse(arguments.begin(), arguments.end());
    std::replace(arguments.begin(), arguments.end(), std::string("/?"), std::string("--help"));
    bool version = false;
    const std::unique_ptr<CLI::App> app = MakeApp(options, version);
    try {
        app->parse(arguments);
    } catch (const CLI::CallForHelp&) {
        message = app->help();
        return ParseOutcome::Help;
    } catch (const CLI::ParseError& mistake) {
        message = mistake.what();
        return ParseOutcome::Error;
    }
    if (version) return ParseOutcome::Version;
    if (options.check) return ParseOutcome::Check;
    if (options.streamFile.empty()) {
        message = "no stream file given";
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}
