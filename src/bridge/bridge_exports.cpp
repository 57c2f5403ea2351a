// The 64-bit library's two exports: hand out and take back the one player,
// which runs the plug-in in a 32-bit helper process.

#include "bridge/bridge_player.h"
#include "bridge/plugin_logs.h"
#include "trace/log_texts.h"

#include <windows.h>

#include <new>

namespace {

bridge::BridgePlayer* currentPlayer = nullptr;
// Set while the player is made: a window procedure that the making thread
// serves meanwhile gets no half-made player.
bool making = false;

// However many threads make the first call at once, one player and one helper
// are made; the others wait, serving messages sent to their windows.
bridge::CallLock& CurrentPlayerLock()
{
    static bridge::CallLock lock;
    return lock;
}

// The new player, or null with the system's error code in `error`.
bridge::BridgePlayer* MakePlayer(uint32_t& error)
{
    error = ERROR_NOT_ENOUGH_MEMORY;
    auto* player = new (std::nothrow) bridge::BridgePlayer();
    if (player == nullptr) return nullptr;
    try {
        bridge::StartProblem problem;
        if (player->Start(problem)) return player;
        error = problem.systemError;
        // Before Play_Init the plug-in's records go to its default error log.
        bridge::PluginLogs(false).WriteError(bridge::kBridgeSource, __LINE__, static_cast<int32_t>(problem.systemError),
                                             {texts::kHelperNotStarted, "\n", problem.text});
    } catch (...) {
    }
    delete player;
    return nullptr;
}

}  // namespace

extern "C" IPlayer* PELSHX_CDECL CreateSinglePlayerDll(void)
{
    uint32_t error = 0;
    {
        const bridge::CallLock::Hold hold(CurrentPlayerLock());
        if (currentPlayer != nullptr || making) return currentPlayer;
        making = true;
        currentPlayer = MakePlayer(error);
        making = false;
        if (currentPlayer != nullptr) return currentPlayer;
    }
    // Last, as writing the record and letting the lock go may set codes of their own.
    SetLastError(error);
    return nullptr;
}

extern "C" void PELSHX_STDCALL ReleaseSinglePlayerDll(IPlayer* player)
{
    const bridge::CallLock::Hold hold(CurrentPlayerLock());
    if (currentPlayer == nullptr || player != currentPlayer || !currentPlayer->Releasable()) return;
    delete currentPlayer;
    currentPlayer = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID processEnds)
{
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    // Unloaded by FreeLibrary with the player alive: its helper ends now. At
    // the process's end the system ends it with the job.
    if (reason == DLL_PROCESS_DETACH && processEnds == nullptr && currentPlayer != nullptr) {
        currentPlayer->Abandon();
        delete currentPlayer;
        currentPlayer = nullptr;
    }
    return TRUE;
}
