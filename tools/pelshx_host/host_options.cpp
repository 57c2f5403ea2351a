#include "host_options.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

bool ParseInteger(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

template <typename Number>
bool ParseNumber(const std::string& text, long long low, long long high, Number& value)
{
    long long parsed = 0;
    if (!ParseInteger(text, low, high, parsed)) return false;
    value = static_cast<Number>(parsed);
    return true;
}

bool ParseText(const std::string& text, std::string& value)
{
    value = text;
    return !text.empty();
}

bool ParseCharacter(const std::string& text, int32_t& value)
{
    if (text.size() != 1) return false;
    value = static_cast<unsigned char>(text[0]);
    return true;
}

// "AT:VALUE", both counts.
bool ParsePair(const std::string& text, uint64_t& at, unsigned& value)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    return ParseNumber(text.substr(0, colon), 0, INT64_MAX, at) &&
           ParseNumber(text.substr(colon + 1), 1, 3600000, value);
}

bool ParseJournalMode(const std::string& text, JournalMode& mode)
{
    if (text == "runs")
        mode = JournalMode::Runs;
    else if (text == "full")
        mode = JournalMode::Full;
    else if (text == "off")
        mode = JournalMode::Off;
    else
        return false;
    return true;
}

// Options without a value.
struct FlagRule {
    const char* name;
    bool HostOptions::*flag;
    bool value;
};

const FlagRule kFlags[] = {
    {"no-window", &HostOptions::window, false},
    {"read-back", &HostOptions::readBack, true},
    {"each-input", &HostOptions::eachInput, true},
    {"bench", &HostOptions::bench, true},
};

struct ValueRule {
    const char* name;
    const char* expected;  // what the value must be, for the message when it is not
    bool (*apply)(HostOptions&, const std::string&);
};

const ValueRule kValueRules[] = {
    {"plugin", "a path", [](HostOptions& o, const std::string& v) { return ParseText(v, o.pluginPath); }},
    {"capture", "a file path", [](HostOptions& o, const std::string& v) { return ParseText(v, o.capturePath); }},
    {"port", "an integer",
     [](HostOptions& o, const std::string& v) { return ParseNumber(v, INT32_MIN, INT32_MAX, o.port); }},
    {"open-mode", "an integer",
     [](HostOptions& o, const std::string& v) { return ParseNumber(v, INT32_MIN, INT32_MAX, o.openMode); }},
    {"chunk", "a byte count from 1 to 16777216",
     [](HostOptions& o, const std::string& v) { return ParseNumber(v, 1, 1 << 24, o.chunkBytes); }},
    {"rate", "chunks per second, 0 to 100000",
     [](HostOptions& o, const std::string& v) { return ParseNumber(v, 0, 100000, o.chunksPerSecond); }},
    {"volume", "an integer",
     [](HostOptions& o, const std::string& v) { return ParseNumber(v, INT32_MIN, INT32_MAX, o.volume.emplace()); }},
    {"data-type", "one character", [](HostOptions& o, const std::string& v) { return ParseCharacter(v, o.dataType); }},
    {"pause", "AT:MILLISECONDS",
     [](HostOptions& o, const std::string& v) {
         PauseRequest& pause = o.pause.emplace();
         return ParsePair(v, pause.afterChunks, pause.milliseconds);
     }},
    {"step", "AT:COUNT",
     [](HostOptions& o, const std::string& v) {
         StepRequest& step = o.step.emplace();
         return ParsePair(v, step.afterChunks, step.steps);
     }},
    {"journal", "runs, full or off",
     [](HostOptions& o, const std::string& v) { return ParseJournalMode(v, o.journal); }},
};

template <typename Rule, std::size_t Count>
const Rule* FindRule(const Rule (&rules)[Count], const std::string& name)
{
    for (const Rule& rule : rules)
        if (name == rule.name) return &rule;
    return nullptr;
}

class Parser {
public:
    Parser(int argc, const char* const* argv, HostOptions& parsed, std::string& problem)
        : arguments(argv + 1, argv + argc), options(parsed), error(problem)
    {
    }

    ParseOutcome Parse()
    {
        std::vector<std::string> positional;
        for (next = 0; next < arguments.size();) {
            const std::string argument = arguments[next++];
            if (argument == "-h" || argument == "--help") return ParseOutcome::Help;
            if (argument == "--") {
                positional.insert(positional.end(), arguments.begin() + static_cast<std::ptrdiff_t>(next),
                                  arguments.end());
                break;
            }
            if (argument.size() > 1 && argument[0] == '-') {
                if (!ParseOption(argument)) return ParseOutcome::Error;
            } else {
                positional.push_back(argument);
            }
        }
        return TakeStreamFile(positional) ? ParseOutcome::Run : ParseOutcome::Error;
    }

private:
    bool Fail(const std::string& message)
    {
        error = message;
        return false;
    }

    bool ParseOption(const std::string& argument)
    {
        if (argument.compare(0, 2, "--") != 0) return Fail("unknown option " + argument);
        const std::size_t equals = argument.find('=');
        const bool valueAttached = equals != std::string::npos;
        const std::string name = argument.substr(2, valueAttached ? equals - 2 : std::string::npos);
        if (const FlagRule* flag = FindRule(kFlags, name)) {
            if (valueAttached) return Fail("--" + name + " takes no value");
            options.*flag->flag = flag->value;
            return true;
        }
        const ValueRule* rule = FindRule(kValueRules, name);
        if (rule == nullptr) return Fail("unknown option --" + name);
        if (!valueAttached && next == arguments.size()) return Fail("--" + name + " needs a value: " + rule->expected);
        const std::string value = valueAttached ? argument.substr(equals + 1) : arguments[next++];
        if (!rule->apply(options, value))
            return Fail("--" + name + " wants " + rule->expected + ", not \"" + value + "\"");
        return true;
    }

    bool TakeStreamFile(const std::vector<std::string>& positional)
    {
        if (positional.empty()) return options.bench || Fail("no stream file given");
        if (positional.size() > 1) return Fail("one stream file only, not also \"" + positional[1] + "\"");
        options.streamFile = positional[0];
        return true;
    }

    std::vector<std::string> arguments;
    std::size_t next = 0;
    HostOptions& options;
    std::string& error;
};

}  // namespace

ParseOutcome ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error)
{
    return Parser(argc, argv, options, error).Parse();
}

std::string HostUsage(const std::string& program)
{
    return "Usage: " + program + R"( [OPTION]... STREAM_FILE
  or:  )" + program + R"( --bench [OPTION]...

Plays STREAM_FILE through the player plug-in as a video host does: creates the
player, initialises it, binds and opens a port on a window, feeds the stream in
chunks through Play_InputData, closes the port and releases the player. Prints
every call with its result and duration, what the vendor library received when
it keeps a journal (the stand-in does), and a summary.

  --plugin=PATH        the plug-in library (default: PelShx_PlaySDK beside this program)
  --port=N             play port (default 0)
  --open-mode=N        open mode for Play_SetOpenMode (default 0)
  --chunk=BYTES        bytes per Play_InputData call (default 4096)
  --rate=N             chunks per second; 0 feeds as fast as the plug-in returns (default 25)
  --data-type=C        data type character for Play_InputData, such as A (default: 0)
  --no-window          open the stream on a null window even where a real one can be made
  --pause=AT:MS        after AT chunks, pause (play state 2) for MS milliseconds, then play (state 1)
  --step=AT:COUNT      after AT chunks, enter step mode (play state 9), show one input held back,
                       feed COUNT chunks one step each, then play again (state 1)
  --volume=LEVEL       set the volume after opening (0 switches the sound off) and read it back
  --capture=FILE       capture a picture into FILE after feeding
  --read-back          read back the port's settings before closing
  --each-input         list every Play_InputData call (default: the first, the last, those in
                       step mode, and any that failed or that the vendor library refused at first)
  --journal=MODE       vendor journal: runs (repeats folded, default), full, or off
  --bench              instead of playing a file, time Play_InputData at debug levels 0 and 2
                       beside the same work done without the plug-in, and print the ratios
                       (rewrites tavo/cfg/TAVO.cfg on the system drive for the run, then
                       puts it back; uses --plugin, --port, --open-mode, --chunk, --data-type)
  -h, --help           show this help and exit

Exit status: 0 when every call gave the expected result; 1 when a call did not;
2 for a bad command line; 3 when the plug-in cannot be loaded or lacks an
export; 4 when the stream file cannot be read or is empty.
)";
}
