// The interface table as a 32-bit host sees it: the plug-in loaded by name, its
// exports looked up undecorated, and every slot called with exactly its
// argument count, with the stack pointer measured across each call.

#include "PelShx_PlaySDK.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace {

// Pushes the arguments right to left, calls fn and returns how far the stack
// pointer moved across the call: 0 when the callee removed exactly what was
// pushed. The stack pointer is put back either way.
int32_t StackDriftOfCall(const void* fn, const std::vector<uint32_t>& args, uint32_t* result)
{
    uint32_t count = static_cast<uint32_t>(args.size());
    uint32_t returned = 0;
    int32_t drift = 0;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "jecxz 2f\n\t"
        "pushl -4(%[args],%%ecx,4)\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n"
        "2:\n\t"
        "call *%[fn]\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=&a"(returned), "=&d"(drift), "+c"(count)
        : [fn] "b"(fn), [args] "D"(args.data())
        : "esi", "memory", "cc");
    *result = returned;
    return drift;
}

uint32_t Word(const void* pointer)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

struct Slot {
    const char* name;
    std::vector<uint32_t> argsAfterObject;
};

TEST(SlotAbi, EverySlotRemovesExactlyItsArguments)
{
    HMODULE plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    ASSERT_NE(nullptr, plugin);
    const void* create = reinterpret_cast<const void*>(GetProcAddress(plugin, "CreateSinglePlayerDll"));
    const void* release = reinterpret_cast<const void*>(GetProcAddress(plugin, "ReleaseSinglePlayerDll"));
    ASSERT_NE(nullptr, create);
    ASSERT_NE(nullptr, release);

    uint32_t player = 0;
    ASSERT_EQ(0, StackDriftOfCall(create, {}, &player));
    ASSERT_NE(0u, player);
    const void* const* table = *reinterpret_cast<const void* const* const*>(player);

    static uint8_t data[16];
    static int32_t out[8];
    const uint32_t port = 1;
    const std::vector<Slot> slots = {
        {"Play_Init", {0}},
        {"Play_Uninit", {}},
        {"Play_SetOverlayMode", {port, 0}},
        {"Play_GetPreviewMode", {port, Word(&out[0]), Word(&out[1])}},
        {"Play_SetOpenMode", {port, 0}},
        {"Play_OpenStream", {0, port, Word(data), sizeof data, 0}},
        {"Play_InputData", {port, Word(data), sizeof data, 'A'}},
        {"Play_CloseStream", {port}},
        {"Play_PlayState", {port, 1}},
        {"Play_GetPlayState", {port, Word(&out[0])}},
        {"Play_SetVolume", {port, 50}},
        {"Play_GetVolume", {port, Word(&out[0])}},
        {"Play_GetPicture", {port, 0}},
        {"Play_RefreshPlay", {port}},
        {"Play_GetHeadLen", {Word(&out[0])}},
        {"Play_GetPictureSize", {port, Word(&out[0]), Word(&out[1])}},
        {"Play_Reserved16", {1, 2}},
        {"Play_GetPicQuality", {port, Word(&out[0])}},
        {"Play_Reserved18", {1, 2}},
        {"Play_GetThrowNum", {port, Word(&out[0])}},
        {"Play_Reserved20", {1, 2, 3}},
        {"Play_SetVideoPara", {port, Word(out)}},
        {"Play_Reserved22", {1, 2, 3}},
        {"Play_SetDispRegion", {port, Word(out)}},
        {"Play_Reserved24", {1}},
        {"Play_Reserved25", {1, 2}},
    };
    ASSERT_EQ(26u, slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        std::vector<uint32_t> args{player};
        args.insert(args.end(), slots[i].argsAfterObject.begin(), slots[i].argsAfterObject.end());
        uint32_t result = 0;
        EXPECT_EQ(0, StackDriftOfCall(table[i], args, &result))
            << "slot " << i << " " << slots[i].name << " with " << slots[i].argsAfterObject.size() << " arguments";
        if (slots[i].name == std::string("Play_GetPictureSize")) {
            EXPECT_EQ(0u, result) << "the table must reach the picture size at slot 15";
            EXPECT_EQ(352, out[0]);
            EXPECT_EQ(288, out[1]);
        }
    }

    uint32_t ignored = 0;
    EXPECT_EQ(0, StackDriftOfCall(release, {player}, &ignored)) << "ReleaseSinglePlayerDll removes its argument";
    FreeLibrary(plugin);
}

}  // namespace
