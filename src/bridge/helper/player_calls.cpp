#include "bridge/helper/player_calls.h"

#include "bridge/hand_over.h"
#include "bridge/helper/crash_report.h"
#include "bridge/plugin_logs.h"
#include "trace/log_texts.h"

using namespace bridge;

namespace {

// After the answer is stored: wakes the bridge when it announced a sleep on
// its event.
void WakeBridge(ControlBlock& control, HANDLE response)
{
    if (control.bridgeAsleep.exchange(0) != 0) SetEvent(response);
}

// An export as a plain function pointer, for a cast to its own type.
void (*Export(HMODULE library, const char* name))()
{
    return reinterpret_cast<void (*)()>(GetProcAddress(library, name));
}

}  // namespace

bool PlayerCalls::MapData(uint32_t depth, HANDLE section, uint32_t size)
{
    void* view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, size);
    if (view == nullptr) {
        CloseHandle(section);
        return false;
    }
    if (data[depth] != nullptr) UnmapViewOfFile(data[depth]);
    if (dataSections[depth] != nullptr) CloseHandle(dataSections[depth]);
    data[depth] = static_cast<uint8_t*>(view);
    dataSections[depth] = section;
    return true;
}

int32_t PlayerCalls::Load(const std::wstring& folder)
{
    // The vendor library first, so that a failure tells which of the two
    // files failed; the plug-in then finds it loaded. Each file's own folder
    // is searched for what it imports.
    if (LoadLibraryExW((folder + kVendorFile).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) == nullptr)
        return kVendorNotLoaded;
    HMODULE plugin = LoadLibraryExW((folder + kPluginFile).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (plugin == nullptr) return kPluginNotLoaded;
    auto create = reinterpret_cast<IPlayer*(PELSHX_CDECL*)()>(Export(plugin, "CreateSinglePlayerDll"));
    release = reinterpret_cast<decltype(release)>(Export(plugin, "ReleaseSinglePlayerDll"));
    if (create == nullptr || release == nullptr) return kNoExports;
    player = create();
    return player != nullptr ? kReady : kNoPlayer;
}

bool PlayerCalls::Requested(uint32_t depth) const
{
    const CallRecord& record = control.calls[depth];
    return record.taken != record.sequence;
}

bool PlayerCalls::Carry(uint32_t depth)
{
    // A message may come from elsewhere, or a request twice: none is carried twice.
    if (!Requested(depth)) return true;
    CallRecord& record = control.calls[depth];
    record.taken = record.sequence.load();
    const bool released = record.request == kRelease;
    CarryRequest(record, depth);
    Answer(depth);
    if (depth > 0) WakeBridge(control, response);
    return !released;
}

void PlayerCalls::Answer(uint32_t depth)
{
    CallRecord& record = control.calls[depth];
    record.answeredAt = HandOverClock();
    record.answered = record.sequence.load();
}

void PlayerCalls::CarryRequest(CallRecord& record, uint32_t depth)
{
    const int32_t* a = record.args;
    switch (record.request) {
    case kMapData:
        record.result = MapData(depth, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<uint32_t>(a[0]))),
                                static_cast<uint32_t>(a[1]))
                            ? PLAY_OK
                            : PLAY_ERR_UNKNOWN;
        return;
    case kWriteRestartRecord: record.result = WriteRestartRecord(record); return;
    case kRelease:
        release(player);
        player = nullptr;
        record.result = PLAY_OK;
        return;
    default: break;
    }
    record.result = CallSlot(record, depth);
    if (record.request == kInit) PointDumpsBesideLogs();
}

// After Play_Init a crash's dump goes beside the logs it points at; where the
// dumps went so far when there is no memory to find them.
void PlayerCalls::PointDumpsBesideLogs() noexcept
try {
    SetDumpDirectory(PluginLogDirectory(true));
} catch (...) {
}

const uint8_t* PlayerCalls::DataPointer(const CallRecord& record, uint32_t depth) const
{
    return (record.pointers & kDataPointer) != 0 ? data[depth] : nullptr;
}

// The place for the values behind the host's pointer `index`, or null when
// the host passed null; `offset` is where in out its values start.
template <typename T>
T* PlayerCalls::OutPointer(CallRecord& record, int index, int offset)
{
    return (record.pointers & (1u << index)) != 0 ? reinterpret_cast<T*>(&record.out[offset]) : nullptr;
}

int32_t PlayerCalls::CallSlot(CallRecord& record, uint32_t depth)
{
    const int32_t* a = record.args;
    // A window handle crosses as its 32-bit value and is widened as Windows widens handles.
    void* window = reinterpret_cast<void*>(static_cast<intptr_t>(a[0]));
    switch (record.request) {
    case kInit: return player->Play_Init(a[0]);
    case kUninit: return player->Play_Uninit();
    case kSetOverlayMode: return player->Play_SetOverlayMode(a[0], static_cast<uint32_t>(a[1]));
    case kGetPreviewMode:
        return player->Play_GetPreviewMode(a[0], OutPointer<int32_t>(record, 0), OutPointer<uint32_t>(record, 1, 1));
    case kSetOpenMode: return player->Play_SetOpenMode(a[0], a[1]);
    case kOpenStream: return player->Play_OpenStream(window, a[1], DataPointer(record, depth), static_cast<uint32_t>(a[3]), a[4]);
    case kInputData: return player->Play_InputData(a[0], DataPointer(record, depth), static_cast<uint32_t>(a[2]), a[3]);
    case kCloseStream: return player->Play_CloseStream(a[0]);
    case kPlayState: return player->Play_PlayState(a[0], a[1]);
    case kGetPlayState: return player->Play_GetPlayState(a[0], OutPointer<int32_t>(record, 0));
    case kSetVolume: return player->Play_SetVolume(a[0], a[1]);
    case kGetVolume: return player->Play_GetVolume(a[0], OutPointer<int32_t>(record, 0));
    case kGetPicture: {
        // The capture path copied into the data section, or the number the host gave.
        const uintptr_t picture = DataPointer(record, depth) != nullptr ? reinterpret_cast<uintptr_t>(DataPointer(record, depth))
                                                           : static_cast<uintptr_t>(static_cast<uint32_t>(a[1]));
        return player->Play_GetPicture(a[0], picture);
    }
    case kRefreshPlay: return player->Play_RefreshPlay(a[0]);
    case kGetHeadLen: return player->Play_GetHeadLen(OutPointer<int32_t>(record, 0));
    case kGetPictureSize: return player->Play_GetPictureSize(a[0], OutPointer<int32_t>(record, 0), OutPointer<int32_t>(record, 1, 1));
    case kReserved16: return player->Play_Reserved16(a[0], a[1]);
    case kGetPicQuality: return player->Play_GetPicQuality(a[0], OutPointer<int32_t>(record, 0));
    case kReserved18: return player->Play_Reserved18(a[0], a[1]);
    case kGetThrowNum: return player->Play_GetThrowNum(a[0], OutPointer<int32_t>(record, 0));
    case kReserved20: return player->Play_Reserved20(a[0], a[1], a[2]);
    case kSetVideoPara: return player->Play_SetVideoPara(a[0], OutPointer<int32_t>(record, 0));
    case kReserved22: return player->Play_Reserved22(a[0], a[1], a[2]);
    case kSetDispRegion: return player->Play_SetDispRegion(a[0], OutPointer<int32_t>(record, 0));
    case kReserved24: return player->Play_Reserved24(a[0]);
    case kReserved25: return player->Play_Reserved25(a[0], a[1]);
    default: return PLAY_ERR_UNKNOWN;
    }
}

// The one record a new helper writes about the one before it, through the
// plug-in's log writer into the plug-in's error log.
int32_t PlayerCalls::WriteRestartRecord(const CallRecord& record)
{
    const bool initialised = record.args[0] != 0;
    char detail[256];
    DescribeEnd(control, control.previousRequest, control.previousExitCode, detail, sizeof detail);
    PluginLogs(initialised).WriteError(kBridgeSource, __LINE__, static_cast<int32_t>(control.previousExitCode),
                                       {texts::kHelperRestarted, "\n", detail});
    control.dumpName[0] = '\0';
    control.dumpError = 0;
    SetDumpDirectory(PluginLogDirectory(initialised));
    return PLAY_OK;
}
