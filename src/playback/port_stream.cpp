#include "playback/port_stream.h"

#include <algorithm>
#include <iterator>

void PortStream::CopyVideoParams(int32_t* out) const
{
    std::copy(std::begin(videoParams), std::end(videoParams), out);
}

void PortStream::CopyDisplayRegion(int32_t* out) const
{
    std::copy(std::begin(displayRegion), std::end(displayRegion), out);
}

void PortStream::Open(void* playWindow)
{
    window = playWindow;
    inputsSinceRebind = 0;
    droppedInputs = 0;
    playState = PlayState::Opened;
}

void PortStream::Close()
{
    std::fill(std::begin(videoParams) + 1, std::begin(videoParams) + 5, kVideoParamDefault);
    playState = PlayState::NotStarted;
}

void PortStream::SetPlayState(int32_t requested)
{
    if (requested == PLAY_STEP_STATE) {
        // Entering step mode grants nothing; each further step command grants
        // exactly one input, and grants do not add up.
        stepGranted = playState == PlayState::Step;
        playState = PlayState::Step;
    } else if (requested >= 1 && requested < PLAY_STEP_STATE) {
        playState = static_cast<PlayState>(requested);
    }
}

PortStream::Admission PortStream::AdmitInput()
{
    if (playState == PlayState::Step) {
        if (!stepGranted) return Admission::HeldBack;
        stepGranted = false;  // used up, also when the vendor library then refuses the data
    }
    inputsSinceRebind = (inputsSinceRebind + 1) % kWindowRebindPeriod;
    return inputsSinceRebind == 0 ? Admission::RebindWindowFirst : Admission::Admitted;
}
