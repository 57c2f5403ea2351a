// A video host in C++ that links the plug-in's import library and plays a
// stream file through one port, as a host does: create the player, initialise
// it, bind and open the port, feed the data in chunks, close the port,
// uninitialise and release the player. Start from here; pass your video
// window where this passes none.
//
//   host_cpp STREAM_FILE [PORT]
//
// Linked with PelShx_PlaySDK.lib (MinGW: libPelShx_PlaySDK.dll.a), the program
// starts only where Windows finds PelShx_PlaySDK.dll and SHXStrm.dll; host.c
// loads the plug-in at run time instead.

#include "PelShx_PlaySDK.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

// The process's one player, given back however main is left.
class Player {
public:
    Player() : player(CreateSinglePlayerDll()) {}
    ~Player()
    {
        if (player) ReleaseSinglePlayerDll(player);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool Created() const { return player != nullptr; }
    IPlayer* operator->() const { return player; }

private:
    IPlayer* player;
};

// True when the call gave PLAY_OK; otherwise says what it gave.
bool Succeeded(const char* call, int32_t result)
{
    if (result != PLAY_OK) printf("%s failed with %d\n", call, result);
    return result == PLAY_OK;
}

// Hands the file to the port in chunks, as a host hands on what it receives.
bool Feed(const Player& player, int32_t port, FILE* stream)
{
    static uint8_t chunk[4096];
    long chunks = 0;
    size_t size;
    while ((size = fread(chunk, 1, sizeof chunk, stream)) > 0) {
        // Data type 'A' marks the vendor's data kind 1; this stream is of kind 0.
        if (!Succeeded("Play_InputData", player->Play_InputData(port, chunk, static_cast<uint32_t>(size), 0)))
            return false;
        ++chunks;
    }
    printf("fed %ld chunks\n", chunks);
    return true;
}

bool Play(const Player& player, int32_t port, FILE* stream)
{
    // The open buffer is not read, but must be there.
    static const uint8_t openBuffer[1] = {0};
    void* const window = nullptr;  // your video window
    if (!Succeeded("Play_SetOpenMode", player->Play_SetOpenMode(port, 0)) ||
        !Succeeded("Play_OpenStream", player->Play_OpenStream(window, port, openBuffer, sizeof openBuffer, 0)))
        return false;
    bool played = Feed(player, port, stream);
    int32_t dropped = 0;
    if (Succeeded("Play_GetThrowNum", player->Play_GetThrowNum(port, &dropped)))
        printf("inputs dropped: %d\n", dropped);
    played = Succeeded("Play_CloseStream", player->Play_CloseStream(port)) && played;
    return played;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        printf("usage: host_cpp STREAM_FILE [PORT]\n");
        return 2;
    }
    FILE* stream = fopen(argv[1], "rb");
    if (!stream) {
        printf("cannot open %s\n", argv[1]);
        return 2;
    }
    const int32_t port = argc > 2 ? atoi(argv[2]) : 0;

    bool played = false;
    Player player;
    if (!player.Created()) {
        // The reason is the system error code, read before any other call:
        // 8 out of memory; for the 64-bit DLL what kept its helper from
        // starting, such as 2 or 3 (a file of the x86 folder missing) or 126.
        printf("no player (error %lu): run pelshx_host.exe --check beside PelShx_PlaySDK.dll\n", GetLastError());
    } else if (Succeeded("Play_Init", player->Play_Init(0))) {
        played = Play(player, port, stream);
        player->Play_Uninit();
    }
    fclose(stream);
    return played ? 0 : 1;
}
