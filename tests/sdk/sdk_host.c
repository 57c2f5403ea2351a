/*
 * A video host built from the unpacked SDK package the way host developers
 * build theirs, in C (through lpVtbl) or, compiled as C++, through the IPlayer
 * class. It calls both exports and every slot, checks each result and value,
 * and checks that the stack pointer is the same before and after each call.
 * Prints one line per failed check and a summary; exits with the number of
 * failed checks (0 when all passed).
 *
 *   HOST_LINKED        call the exports through the import library, else load
 *                      PelShx_PlaySDK.dll with LoadLibraryA and GetProcAddress
 *   HOST_FREESTANDING  no C runtime: the entry point is HostEntry
 */
#include "PelShx_PlaySDK.h"

/* The kernel32 functions used, declared as the Windows headers declare them:
 * the Microsoft-ABI builds have neither those headers nor a C runtime. */
#ifdef __cplusplus
extern "C" {
#endif
typedef void (*HostProc)(void);
__declspec(dllimport) void* __stdcall LoadLibraryA(const char* name);
__declspec(dllimport) HostProc __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);
#ifdef _MSC_VER
void* _AddressOfReturnAddress(void);
#endif
#ifdef __cplusplus
}
#endif

#define STD_OUTPUT_HANDLE ((unsigned long)-11)

/* One slot call, written the way each language calls it. */
#ifdef __cplusplus
#define SLOT(player, name, args) ((player)->name args)
#define SLOT0(player, name) ((player)->name())
#else
#define UNWRAP(...) __VA_ARGS__
#define SLOT(player, name, args) ((player)->lpVtbl->name(player, UNWRAP args))
#define SLOT0(player, name) ((player)->lpVtbl->name(player))
#endif

static int checks;
static int failures;

static void Write(const char* text)
{
    unsigned long length = 0;
    unsigned long written = 0;
    while (text[length] != '\0') ++length;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, 0);
}

static void WriteNumber(long value)
{
    char digits[16];
    int at = 15;
    unsigned long magnitude = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
    digits[at] = '\0';
    do {
        digits[--at] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[--at] = '-';
    Write(digits + at);
}

static void Expect(const char* what, const char* aspect, long expected, long actual)
{
    ++checks;
    if (expected == actual) return;
    ++failures;
    Write("FAILED ");
    Write(what);
    Write(", ");
    Write(aspect);
    Write(": expected ");
    WriteNumber(expected);
    Write(", got ");
    WriteNumber(actual);
    Write("\n");
}

/* Where the stack pointer stands at a call from the caller's frame. It is
 * called through a volatile pointer so that no compiler merges two readings. */
#ifdef _MSC_VER
static __declspec(noinline) uintptr_t StackAtCall(void)
{
    return (uintptr_t)_AddressOfReturnAddress();
}
#else
static __attribute__((noinline)) uintptr_t StackAtCall(void)
{
    return (uintptr_t)__builtin_frame_address(0);
}
#endif
static uintptr_t (*volatile stackAtCall)(void) = StackAtCall;

/* Makes the call, checks its result and that it left the stack as it found it. */
#define EXPECT_CALL(expected, call)                                                \
    do {                                                                           \
        const uintptr_t stackBefore = stackAtCall();                               \
        const long result = (long)(call);                                          \
        const uintptr_t stackAfter = stackAtCall();                                \
        Expect(#call, "stack pointer moved by", 0, (long)(stackAfter - stackBefore)); \
        Expect(#call, "result", (long)(expected), result);                         \
    } while (0)

#define EXPECT_VOID_CALL(call)                                                     \
    do {                                                                           \
        const uintptr_t stackBefore = stackAtCall();                               \
        call;                                                                      \
        Expect(#call, "stack pointer moved by", 0, (long)(stackAtCall() - stackBefore)); \
    } while (0)

#ifdef HOST_LINKED
#define CreatePlayer CreateSinglePlayerDll
#define ReleasePlayer ReleaseSinglePlayerDll

static int LoadExports(void)
{
    return 1;
}
#else
static PFN_CreateSinglePlayerDll CreatePlayer;
static PFN_ReleaseSinglePlayerDll ReleasePlayer;

static int LoadExports(void)
{
    void* plugin = LoadLibraryA("PelShx_PlaySDK.dll");
    if (plugin == 0) return 0;
    CreatePlayer = (PFN_CreateSinglePlayerDll)GetProcAddress(plugin, "CreateSinglePlayerDll");
    ReleasePlayer = (PFN_ReleaseSinglePlayerDll)GetProcAddress(plugin, "ReleaseSinglePlayerDll");
    return CreatePlayer != 0 && ReleasePlayer != 0;
}
#endif

static const uint8_t stream[64] = {1, 2, 3, 4};

static void ExpectBlock(const char* what, const int32_t* block, const int32_t* expected, int count)
{
    int i;
    for (i = 0; i < count; ++i) Expect(what, "a value", expected[i], block[i]);
}

static void PlayOnePort(IPlayer* player)
{
    static const int32_t videoDefaults[6] = {0, 50, 50, 50, 50, 0};
    static const int32_t noRegion[4] = {0, 0, 0, 0};
    const int32_t port = 3;
    int32_t value = -1;
    int32_t height = -1;
    uint32_t colorKey = 0;
    int32_t block[6] = {7, 7, 7, 7, 7, 7};

    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Init, (0)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetHeadLen, (&value)));
    Expect("Play_GetHeadLen", "header length", 0, value);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_SetOverlayMode, (port, 0x00123456u)));
    EXPECT_CALL(PLAY_ERR_PARAM, SLOT(player, Play_SetOverlayMode, (200, 0u)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetPreviewMode, (port, &value, &colorKey)));
    Expect("Play_GetPreviewMode", "overlay", 1, value);
    Expect("Play_GetPreviewMode", "colour key", 0x00123456L, (long)colorKey);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_SetOpenMode, (port, 0)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_OpenStream, (0, port, stream, sizeof stream, 0)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_InputData, (port, stream, sizeof stream, 'A')));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_PlayState, (port, 2)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetPlayState, (port, &value)));
    Expect("Play_GetPlayState", "play state", 2, value);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_SetVolume, (port, 60)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetVolume, (port, &value)));
    Expect("Play_GetVolume", "volume", 60, value);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetPicture, (port, 0)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_RefreshPlay, (port)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetPictureSize, (port, &value, &height)));
    Expect("Play_GetPictureSize", "width", 352, value);
    Expect("Play_GetPictureSize", "height", 288, height);
    value = -1;
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetPicQuality, (port, &value)));
    Expect("Play_GetPicQuality", "quality", 0, value);
    value = -1;
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetThrowNum, (port, &value)));
    Expect("Play_GetThrowNum", "dropped frames", 0, value);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_SetVideoPara, (port, block)));
    ExpectBlock("Play_SetVideoPara", block, videoDefaults, 6);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_SetDispRegion, (port, block)));
    ExpectBlock("Play_SetDispRegion", block, noRegion, 4);
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Reserved16, (1, 2)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Reserved18, (1, 2)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Reserved20, (1, 2, 3)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Reserved22, (1, 2, 3)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Reserved24, (1)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_Reserved25, (1, 2)));
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_CloseStream, (port)));
    EXPECT_CALL(PLAY_ERR_NOT_OPEN, SLOT(player, Play_InputData, (port, stream, sizeof stream, 'A')));
    EXPECT_CALL(PLAY_OK, SLOT0(player, Play_Uninit));
}

static int RunHost(void)
{
    IPlayer* player = 0;
    IPlayer* again = 0;
    int32_t overlay = -1;
    uint32_t colorKey = 0;

    if (!LoadExports()) {
        Write("FAILED: PelShx_PlaySDK.dll or one of its exports cannot be found\n");
        return 1;
    }
    EXPECT_VOID_CALL(player = CreatePlayer());
    EXPECT_VOID_CALL(again = CreatePlayer());
    Expect("CreateSinglePlayerDll", "a player", 1, player != 0);
    Expect("CreateSinglePlayerDll", "the same player twice", 1, player == again);
    if (player == 0) return 1;

    PlayOnePort(player);

    EXPECT_VOID_CALL(ReleasePlayer(0));
    EXPECT_VOID_CALL(ReleasePlayer(player));
    /* The released player is gone: the next one starts from its defaults. */
    EXPECT_VOID_CALL(player = CreatePlayer());
    Expect("CreateSinglePlayerDll after the release", "a player", 1, player != 0);
    if (player == 0) return 1;
    EXPECT_CALL(PLAY_OK, SLOT(player, Play_GetPreviewMode, (3, &overlay, &colorKey)));
    Expect("Play_GetPreviewMode of a new player", "overlay", 0, overlay);
    Expect("Play_GetPreviewMode of a new player", "colour key", 0x00FF00FFL, (long)colorKey);
    EXPECT_VOID_CALL(ReleasePlayer(player));

    Write(failures == 0 ? "passed: " : "FAILED: ");
    WriteNumber(checks);
    Write(" checks, ");
    WriteNumber(failures);
    Write(" failed\n");
    return failures;
}

#ifdef HOST_FREESTANDING
void __cdecl HostEntry(void)
{
    ExitProcess((unsigned int)RunHost());
}
#else
int main(void)
{
    return RunHost();
}
#endif
