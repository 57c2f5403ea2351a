#pragma once

// The helper's side of a call: the 32-bit plug-in loaded and its player made,
// and each request of the control block carried out on it.

#include "PelShx_PlaySDK.h"
#include "bridge/bridge_protocol.h"

#include <windows.h>

#include <string>

class PlayerCalls {
public:
    explicit PlayerCalls(bridge::ControlBlock& block) : control(block) {}

    // Maps the data section the bridge handed over; the earlier one is let go.
    bool MapData(HANDLE section, uint32_t size);

    // Loads the vendor library and the plug-in from the folder and makes the
    // player: kReady, or what failed.
    int32_t Load(const std::wstring& folder);

    // Carries out the request in the control block and fills in its answer.
    void Carry();

private:
    int32_t CallSlot();
    int32_t MapNewData();
    int32_t WriteRestartRecord();
    const uint8_t* DataPointer() const;
    template <typename T>
    T* OutPointer(int index, int offset = 0);

    bridge::ControlBlock& control;
    HANDLE dataSection = nullptr;
    uint8_t* data = nullptr;
    IPlayer* player = nullptr;
    void(PELSHX_STDCALL* release)(IPlayer*) = nullptr;
};
