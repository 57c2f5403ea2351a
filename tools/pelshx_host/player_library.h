#pragma once

// The plug-in, loaded at run time by name as a video host loads it, and its two exports.

#include "PelShx_PlaySDK.h"

#include <string>

class PlayerLibrary {
public:
    PlayerLibrary() = default;
    PlayerLibrary(const PlayerLibrary&) = delete;
    PlayerLibrary& operator=(const PlayerLibrary&) = delete;
    ~PlayerLibrary();

    // False, with the reason in error, when the library cannot be loaded or
    // lacks one of the exports.
    bool Load(const std::string& path, std::string& error);

    IPlayer* Create() const { return create(); }
    void Release(IPlayer* player) const { release(player); }

private:
    void* library = nullptr;
    IPlayer* (*create)() = nullptr;
    void(PELSHX_STDCALL* release)(IPlayer*) = nullptr;
};
