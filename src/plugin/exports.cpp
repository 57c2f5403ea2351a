// The library's two exports: hand out and take back the one player object.

#include "platform/platform.h"
#include "plugin/shx_player.h"

#include <new>

namespace {

ShxPlayer* currentPlayer = nullptr;

}  // namespace

extern "C" IPlayer* PELSHX_CDECL CreateSinglePlayerDll(void)
{
    if (currentPlayer == nullptr) {
        try {
            currentPlayer = new ShxPlayer();
        } catch (...) {
            // Memory is all a player needs, so a host reading GetLastError
            // after the null learns why.
            platform::SetOutOfMemoryError();
            return nullptr;
        }
    }
    return currentPlayer;
}

extern "C" void PELSHX_STDCALL ReleaseSinglePlayerDll(IPlayer* player)
{
    if (currentPlayer == nullptr || player != currentPlayer) return;
    delete currentPlayer;
    currentPlayer = nullptr;
}
