// The 64-bit library's two exports: hand out and take back the one player,
// which runs the plug-in in a 32-bit helper process.

#include "bridge/bridge_player.h"
#include "bridge/plugin_logs.h"
#include "platform/platform.h"
#include "trace/log_texts.h"

#include <windows.h>

#include <new>

namespace {

bridge::BridgePlayer* currentPlayer = nullptr;

}  // namespace

extern "C" IPlayer* PELSHX_CDECL CreateSinglePlayerDll(void)
{
    if (currentPlayer != nullptr) return currentPlayer;
    auto* player = new (std::nothrow) bridge::BridgePlayer();
    if (player == nullptr) {
        platform::SetOutOfMemoryError();
        return nullptr;
    }
    try {
        bridge::StartProblem problem;
        if (!player->Start(problem)) {
            // Before Play_Init the plug-in's records go to its default error log.
            bridge::PluginLogs(false).WriteError(bridge::kBridgeSource, __LINE__,
                                                 static_cast<int32_t>(problem.systemError),
                                                 {texts::kHelperNotStarted, "\n", problem.text});
            delete player;
            // Last, as writing the record sets codes of its own.
            SetLastError(problem.systemError);
            return nullptr;
        }
    } catch (...) {
        delete player;
        platform::SetOutOfMemoryError();
        return nullptr;
    }
    currentPlayer = player;
    return currentPlayer;
}

extern "C" void PELSHX_STDCALL ReleaseSinglePlayerDll(IPlayer* player)
{
    if (currentPlayer == nullptr || player != currentPlayer) return;
    delete currentPlayer;
    currentPlayer = nullptr;
}
