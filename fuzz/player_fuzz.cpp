// Drives the player with a sequence of interface calls decoded from the input,
// while the stand-in vendor library answers with statuses decoded from it too.
// Whatever the sequence, every call must return a known result code and the
// reported values must stay in their ranges.

#include "PelShx_PlaySDK.h"
#include "shxstrm_standin.h"
#include "support/result_codes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }
    uint8_t Byte() { return empty() ? 0 : data_[position_++]; }
    int32_t Word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | Byte();
        return static_cast<int32_t>(value);
    }
    // Mostly ports near the valid range, so that the checks past it are reached.
    int32_t Port() { return static_cast<int32_t>(Byte() % 136) - 4; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

void Require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

// Statuses the vendor library may answer. Input data is always taken, since
// each refusal costs a real 100 ms pause.
void ScriptVendor(Input& in)
{
    static const int32_t statuses[] = {0, -1, -2, -2001, 7};
    const int32_t function = in.Byte() % SHX_FUNCTION_COUNT;
    if (function != SHX_INPUT_DATA) ShxStandin_Script(function, statuses[in.Byte() % 5], 1);
}

int32_t CallSlot(IPlayer& player, Input& in)
{
    static uint8_t data[64];
    int32_t a = -7, b = -7;
    uint32_t key = 7;
    int32_t block[6];
    switch (in.Byte() % 20) {
    case 0: return player.Play_SetOpenMode(in.Port(), in.Word());
    case 1: return player.Play_OpenStream(reinterpret_cast<void*>(uintptr_t{in.Byte()}), in.Port(),
                                          in.Byte() % 8 ? data : nullptr, in.Byte() % 8, in.Word());
    case 2: return player.Play_InputData(in.Port(), in.Byte() % 8 ? data : nullptr, in.Byte() % 64, in.Word());
    case 3: return player.Play_CloseStream(in.Port());
    case 4: return player.Play_PlayState(in.Port(), static_cast<int32_t>(in.Byte() % 12) - 1);
    case 5: {
        const int32_t result = player.Play_GetPlayState(in.Port(), &a);
        Require(result != PLAY_OK || (a >= 0 && a <= 9), "play state in 0..9");
        return result;
    }
    case 6: return player.Play_SetVolume(in.Port(), static_cast<int32_t>(in.Byte()) - 20);
    case 7: {
        const int32_t result = player.Play_GetVolume(in.Port(), &a);
        Require(result != PLAY_OK || (a >= 0 && a <= 100), "volume in 0..100");
        return result;
    }
    case 8: return player.Play_GetPicture(in.Port(), in.Byte());
    case 9: return player.Play_RefreshPlay(in.Port());
    case 10: {
        const int32_t result = player.Play_GetPictureSize(in.Port(), &a, &b);
        Require(result != PLAY_OK || (a == 352 && b == 288), "picture size 352 x 288");
        return result;
    }
    case 11: return player.Play_SetOverlayMode(in.Port(), static_cast<uint32_t>(in.Word()));
    case 12: {
        const int32_t result = player.Play_GetPreviewMode(in.Port(), &a, &key);
        Require(result != PLAY_OK || ((a == 0 || a == 1) && key <= 0x00FFFFFF), "overlay mode and key");
        return result;
    }
    case 13: {
        const int32_t result = player.Play_SetVideoPara(in.Port(), block);
        const int32_t expected[6] = {0, 50, 50, 50, 50, 0};
        Require(result != PLAY_OK || std::memcmp(block, expected, sizeof block) == 0, "video parameters");
        return result;
    }
    case 14: return player.Play_SetDispRegion(in.Port(), block);
    case 15: return player.Play_GetPicQuality(in.Port(), in.Byte() % 8 ? &a : nullptr);
    case 16: return player.Play_GetThrowNum(in.Port(), in.Byte() % 8 ? &a : nullptr);
    case 17: return player.Play_GetHeadLen(in.Byte() % 8 ? &a : nullptr);
    case 18: return player.Play_Uninit();
    default: ScriptVendor(in); return PLAY_OK;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ShxStandin_Reset();
    IPlayer* player = CreateSinglePlayerDll();
    Require(player != nullptr, "a player");
    Input in(data, size);
    while (!in.empty()) Require(IsResultCode(CallSlot(*player, in)), "a known result code");
    ReleaseSinglePlayerDll(player);
    return 0;
}
