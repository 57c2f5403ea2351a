#pragma once

// The player that 64-bit hosts get: every slot is carried to the 32-bit
// plug-in in a helper process. A helper that crashes or hangs costs the call
// it was in (PLAY_ERR_UNKNOWN); the next call starts a new helper and replays
// what the host had established. Three ends within a minute stop the bridge:
// every call then answers PLAY_ERR_UNKNOWN until the player is made anew.
//
// One call at a time: a call from another thread waits its turn. A call the
// calling thread makes while its own call waits for the helper (from a window
// procedure it serves meanwhile) is nested in it: carried at the next depth,
// with a record and data of its own, up to kMaxDepth calls deep.

#include "PelShx_PlaySDK.h"
#include "bridge/call_lock.h"
#include "bridge/established_state.h"
#include "bridge/helper_link.h"
#include "trace/trace_log.h"

#include <array>
#include <string>

namespace bridge {

class BridgePlayer final : public IPlayer {
public:
    BridgePlayer() = default;
    BridgePlayer(const BridgePlayer&) = delete;
    BridgePlayer& operator=(const BridgePlayer&) = delete;
    // Asks the helper to release the plug-in's player, and ends it.
    ~BridgePlayer();

    // Starts the helper; false, with the reason, when it cannot.
    bool Start(StartProblem& problem);

    // False, with an error record, while a call of this thread is in flight:
    // the player cannot be destroyed under it.
    bool Releasable();
    // Ends the helper at once, as the DLL is unloaded with the player alive.
    void Abandon() { link.Abandon(); }

    int32_t PELSHX_STDCALL Play_Init(int32_t value) override;
    int32_t PELSHX_STDCALL Play_Uninit() override;
    int32_t PELSHX_STDCALL Play_SetOverlayMode(int32_t port, uint32_t colorKey) override;
    int32_t PELSHX_STDCALL Play_GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey) override;
    int32_t PELSHX_STDCALL Play_SetOpenMode(int32_t port, int32_t openMode) override;
    int32_t PELSHX_STDCALL Play_OpenStream(void* window, int32_t port, const void* openBuffer, uint32_t openBufferSize,
                                           int32_t reserved) override;
    int32_t PELSHX_STDCALL Play_InputData(int32_t port, const uint8_t* buffer, uint32_t size,
                                          int32_t dataType) override;
    int32_t PELSHX_STDCALL Play_CloseStream(int32_t port) override;
    int32_t PELSHX_STDCALL Play_PlayState(int32_t port, int32_t type) override;
    int32_t PELSHX_STDCALL Play_GetPlayState(int32_t port, int32_t* playState) override;
    int32_t PELSHX_STDCALL Play_SetVolume(int32_t port, int32_t level) override;
    int32_t PELSHX_STDCALL Play_GetVolume(int32_t port, int32_t* level) override;
    int32_t PELSHX_STDCALL Play_GetPicture(int32_t port, uintptr_t picture) override;
    int32_t PELSHX_STDCALL Play_RefreshPlay(int32_t port) override;
    int32_t PELSHX_STDCALL Play_GetHeadLen(int32_t* headLen) override;
    int32_t PELSHX_STDCALL Play_GetPictureSize(int32_t port, int32_t* width, int32_t* height) override;
    int32_t PELSHX_STDCALL Play_Reserved16(int32_t, int32_t) override;
    int32_t PELSHX_STDCALL Play_GetPicQuality(int32_t port, int32_t* quality) override;
    int32_t PELSHX_STDCALL Play_Reserved18(int32_t, int32_t) override;
    int32_t PELSHX_STDCALL Play_GetThrowNum(int32_t port, int32_t* count) override;
    int32_t PELSHX_STDCALL Play_Reserved20(int32_t, int32_t, int32_t) override;
    int32_t PELSHX_STDCALL Play_SetVideoPara(int32_t port, int32_t* para) override;
    int32_t PELSHX_STDCALL Play_Reserved22(int32_t, int32_t, int32_t) override;
    int32_t PELSHX_STDCALL Play_SetDispRegion(int32_t port, int32_t* region) override;
    int32_t PELSHX_STDCALL Play_Reserved24(int32_t) override;
    int32_t PELSHX_STDCALL Play_Reserved25(int32_t, int32_t) override;

private:
    // A host pointer that receives values when the call succeeds.
    struct Out {
        void* target;
        int count;
    };
    // One call as it crosses: the slot, its arguments as 32-bit values, the
    // buffer that goes with it (copied into the data section) and the host's
    // pointers for the values that come back.
    struct Call {
        int32_t slot;
        int32_t args[kMaxArgs];
        const void* data = nullptr;
        uint32_t dataSize = 0;
        Out outs[2] = {};
    };

    int32_t Forward(const Call& call);
    int32_t Carry(const Call& call, uint32_t depth);
    HelperLink::Outcome Send(const Call& call, uint32_t depth);
    // Why a call at depth (above 0) cannot be carried, or null when it can.
    const char* WhyNotNested(uint32_t depth) const;
    // PLAY_ERR_UNKNOWN, with an error record naming the slot and the reason.
    int32_t NotCarried(int32_t slot, const std::string& reason);
    // Counts a helper's end (at the time the call it ended in was made) and
    // stops the bridge at the third within a minute; PLAY_ERR_UNKNOWN.
    int32_t HelperLost(int32_t endedIn, uint64_t when);
    // The slot of the call in flight at depth or below that the helper ended in.
    int32_t EndedIn(uint32_t depth) const;
    bool Restart();
    bool Replay(const EstablishedState& previous, uint64_t started);
    void ReportError(int line, int32_t code, TraceLog::Pieces text);

    HelperLink link;
    EstablishedState state;
    CrashHistory ends;
    bool stopped = false;
    CallLock lock;
    // Why no call can be nested in the one in flight, while a new helper starts
    // and replays or the player is released; null at other times.
    const char* notNestable = nullptr;
    std::array<int32_t, kMaxDepth> slotsInFlight{};
};

}  // namespace bridge
