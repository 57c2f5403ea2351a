/*
 * A video host in C that loads the plug-in at run time, so that it starts
 * even where PelShx_PlaySDK.dll or the vendor's SHXStrm.dll is missing, and
 * says so. It opens one port, takes it through step mode and reads its
 * settings back, calling the slots through the IPlayer_ macros. Start from
 * here.
 *
 *   host_c [PORT]
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "PelShx_PlaySDK.h"

typedef void (*AnyFunction)(void);

/* Prints what a call gave; true when it gave what it should. */
static int Expect(const char* call, int32_t expected, int32_t result)
{
    printf("%-40s %d\n", call, result);
    return result == expected;
}

static int Play(IPlayer* player, int32_t port)
{
    static const uint8_t data[64] = {0};
    int32_t video[6];
    int32_t width = 0;
    int32_t height = 0;
    int ok = Expect("Play_SetOpenMode", PLAY_OK, IPlayer_Play_SetOpenMode(player, port, 0)) &&
             Expect("Play_OpenStream", PLAY_OK, IPlayer_Play_OpenStream(player, NULL, port, data, sizeof data, 0));
    if (!ok) return 0;

    /* Step mode: entering it holds input back; each further 9 lets one input through. */
    ok &= Expect("Play_PlayState 9: step mode", PLAY_OK, IPlayer_Play_PlayState(player, port, 9));
    ok &= Expect("Play_InputData: held back", PLAY_ERR_BUFFER, IPlayer_Play_InputData(player, port, data, sizeof data, 0));
    ok &= Expect("Play_PlayState 9: one step", PLAY_OK, IPlayer_Play_PlayState(player, port, 9));
    ok &= Expect("Play_InputData: the step", PLAY_OK, IPlayer_Play_InputData(player, port, data, sizeof data, 0));
    ok &= Expect("Play_PlayState 1: play", PLAY_OK, IPlayer_Play_PlayState(player, port, 1));

    /* Despite its name, Play_SetVideoPara fills the caller's block of six. */
    if (Expect("Play_SetVideoPara", PLAY_OK, IPlayer_Play_SetVideoPara(player, port, video)))
        printf("video parameters %d %d %d %d %d %d\n", video[0], video[1], video[2], video[3], video[4], video[5]);
    else
        ok = 0;
    if (Expect("Play_GetPictureSize", PLAY_OK, IPlayer_Play_GetPictureSize(player, port, &width, &height)))
        printf("picture %d by %d\n", width, height);
    else
        ok = 0;
    ok &= Expect("Play_CloseStream", PLAY_OK, IPlayer_Play_CloseStream(player, port));
    return ok;
}

int main(int argc, char* argv[])
{
    const int32_t port = argc > 1 ? atoi(argv[1]) : 0;
    HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    PFN_CreateSinglePlayerDll create;
    PFN_ReleaseSinglePlayerDll release;
    IPlayer* player = NULL;
    int ok;

    if (plugin == NULL) {
        printf("PelShx_PlaySDK.dll cannot be loaded (error %lu): it, or SHXStrm.dll beside it, is missing\n",
               GetLastError());
        return 3;
    }
    /* Through AnyFunction, from which GCC takes a cast to any function pointer. */
    create = (PFN_CreateSinglePlayerDll)(AnyFunction)GetProcAddress(plugin, "CreateSinglePlayerDll");
    release = (PFN_ReleaseSinglePlayerDll)(AnyFunction)GetProcAddress(plugin, "ReleaseSinglePlayerDll");
    if (create == NULL || release == NULL) {
        printf("PelShx_PlaySDK.dll lacks its exports\n");
        FreeLibrary(plugin);
        return 3;
    }
    player = create();
    if (player == NULL) {
        /* The reason is the system error code, read before any other call. */
        printf("PelShx_PlaySDK.dll gave no player (error %lu): run pelshx_host.exe --check beside it\n",
               GetLastError());
        FreeLibrary(plugin);
        return 3;
    }

    ok = Expect("Play_Init", PLAY_OK, IPlayer_Play_Init(player, 0)) && Play(player, port);
    IPlayer_Play_Uninit(player);
    release(player);
    FreeLibrary(plugin);
    return ok ? 0 : 1;
}
