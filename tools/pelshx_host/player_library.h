#pragma once

// The plug-in, loaded at run time by name as a video host loads it, and its two exports.

#include "PelShx_PlaySDK.h"

#include <string>

// Why a plug-in cannot be used, and what to do about it.
struct PluginProblem {
    std::string finding;
    std::string advice;
};

class PlayerLibrary {
public:
    PlayerLibrary() = default;
    PlayerLibrary(const PlayerLibrary&) = delete;
    PlayerLibrary& operator=(const PlayerLibrary&) = delete;
    ~PlayerLibrary();

    // False, with the reason in problem, when the library cannot be loaded or
    // lacks one of the exports. A library that cannot be loaded is told apart
    // from a vendor library missing or unloadable beside it.
    bool Load(const std::string& path, PluginProblem& problem);

    // The file the system loaded.
    std::string File() const;

    IPlayer* Create() const { return create(); }
    void Release(IPlayer* player) const { release(player); }

private:
    void* library = nullptr;
    PFN_CreateSinglePlayerDll create = nullptr;
    PFN_ReleaseSinglePlayerDll release = nullptr;
};

// "file version 1.0.0.0", or "no version information".
std::string VersionText(const std::string& file);

// The folder that holds the file, without a trailing separator; "." for a bare name.
std::string FolderOf(const std::string& file);
