#pragma once

// What the player keeps for one port: the play state of its stream, the window
// it plays on, the step-mode grant, the count that paces the window's
// rebinding, the inputs dropped since it was opened, and the display figures it
// reports. Every rule about them is a method here; the port operations only
// ask and tell.

#include "PelShx_PlaySDK.h"

#include <cstdint>

class PortStream {
public:
    // 2 to 8 are the host's own states, kept as given.
    enum class PlayState : int32_t { NotStarted = 0, Opened = 1, Step = PLAY_STEP_STATE };

    // What becomes of one input offered to a started stream.
    enum class Admission {
        HeldBack,           // step mode without a grant: refused, nothing used up
        Admitted,           // goes to the vendor library
        RebindWindowFirst,  // goes, after the window is handed over again
    };

    bool Started() const { return playState != PlayState::NotStarted; }
    int32_t PlayStateCode() const { return static_cast<int32_t>(playState); }
    void* Window() const { return window; }
    int32_t DroppedInputs() const { return droppedInputs; }
    int32_t OverlayMode() const { return overlayMode; }
    int32_t PictureQuality() const { return pictureQuality; }
    void CopyVideoParams(int32_t* out) const;
    void CopyDisplayRegion(int32_t* out) const;

    // Started on the window, with the input and dropped counts back at 0.
    void Open(void* playWindow);
    // Not started; the video parameters back at their defaults.
    void Close();
    // A state 1 to 8 is kept for the host; PLAY_STEP_STATE enters step mode or,
    // in it, grants one input; any other value changes nothing.
    void SetPlayState(int32_t requested);
    // Decides about one input to a started stream and counts it when it goes.
    Admission AdmitInput();
    // The vendor library refused an admitted input until it was dropped.
    void CountDrop() { ++droppedInputs; }
    void MarkOverlay() { overlayMode = 1; }

private:
    static constexpr int32_t kWindowRebindPeriod = 5;  // every fifth input rebinds the window
    static constexpr int32_t kVideoParamDefault = 50;

    PlayState playState = PlayState::NotStarted;
    void* window = nullptr;
    bool stepGranted = false;
    int32_t inputsSinceRebind = 0;  // admitted inputs since the open, modulo kWindowRebindPeriod
    int32_t droppedInputs = 0;
    int32_t overlayMode = 0;
    int32_t pictureQuality = 0;
    int32_t videoParams[6] = {0, kVideoParamDefault, kVideoParamDefault, kVideoParamDefault, kVideoParamDefault, 0};
    int32_t displayRegion[4] = {};
};
