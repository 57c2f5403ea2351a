#pragma once

// The host program's command line.

#include <cstdint>
#include <optional>
#include <string>

// Something to do once AT chunks have been fed: a pause of `count`
// milliseconds, or `count` inputs one step each.
struct ChunkRequest {
    uint64_t afterChunks = 0;
    unsigned count = 0;
};

struct HostOptions {
    bool check = false;  // check the installation instead of playing a stream
    std::string streamFile;
    std::string pluginPath;  // empty: the default plug-in beside the program
    int32_t port = 0;
    int32_t openMode = 0;
    uint32_t chunkBytes = 4096;
    uint32_t chunksPerSecond = 25;  // 0: as fast as the plug-in takes them
    int32_t dataType = 0;
    bool window = true;
    double holdSeconds = 0;  // the window stays open this long after the stream
    std::optional<ChunkRequest> pause;
    std::optional<ChunkRequest> step;
    std::optional<int32_t> volume;
    std::string capturePath;  // empty: no capture
    bool readBack = false;
    bool eachInput = false;
};

enum class ParseOutcome { Run, Check, Help, Version, Error };

// On Help, message holds the help; on Error, what is wrong with the command
// line. "/?" asks for the help as "-h" and "--help" do.
ParseOutcome ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& message);
