#pragma once

// The helper's side of a call: the 32-bit plug-in loaded and its player made,
// and each request of the control block, at any depth, carried out on it.

#include "PelShx_PlaySDK.h"
#include "bridge/bridge_protocol.h"

#include <windows.h>

#include <string>

class PlayerCalls {
public:
    PlayerCalls(bridge::ControlBlock& block, HANDLE responseEvent) : control(block), response(responseEvent) {}

    // Maps a data section the bridge handed over for depth; the earlier one
    // is let go. The section's handle is closed when it cannot be mapped.
    bool MapData(uint32_t depth, HANDLE section, uint32_t size);

    // Loads the vendor library and the plug-in from the folder and makes the
    // player: kReady, or what failed.
    int32_t Load(const std::wstring& folder);

    // True when the bridge has handed over a request at depth not taken yet.
    bool Requested(uint32_t depth) const;

    // Carries out the request at depth, if it is one not taken yet, and fills
    // in its answer. A bridge asleep is woken for a nested call's answer at
    // once, for depth 0's by the helper's wait for the next request. False
    // once the player is released.
    bool Carry(uint32_t depth);

    // Marks the call at depth answered, without waking the bridge.
    void Answer(uint32_t depth);

private:
    void CarryRequest(bridge::CallRecord& record, uint32_t depth);
    int32_t CallSlot(bridge::CallRecord& record, uint32_t depth);
    int32_t WriteRestartRecord(const bridge::CallRecord& record);
    void PointDumpsBesideLogs() noexcept;
    const uint8_t* DataPointer(const bridge::CallRecord& record, uint32_t depth) const;
    template <typename T>
    static T* OutPointer(bridge::CallRecord& record, int index, int offset = 0);

    bridge::ControlBlock& control;
    HANDLE response;
    HANDLE dataSections[bridge::kMaxDepth] = {};
    uint8_t* data[bridge::kMaxDepth] = {};
    IPlayer* player = nullptr;
    void(PELSHX_STDCALL* release)(IPlayer*) = nullptr;
};
