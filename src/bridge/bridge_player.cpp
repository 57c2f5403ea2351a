#include "bridge/bridge_player.h"

#include "bridge/readable_memory.h"
#include "bridge/plugin_logs.h"
#include "trace/log_texts.h"

#include <windows.h>

#include <cstring>

namespace bridge {

namespace {

// A window handle crosses as its 32-bit value, as Windows hands handles
// between 64-bit and 32-bit processes.
int32_t HandleValue(const void* window)
{
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(window));
}

}  // namespace

bool BridgePlayer::Start(StartProblem& problem)
{
    return link.Prepare(problem) && link.Start(HelperProgramFile(), problem);
}

void BridgePlayer::ReportError(int line, int32_t code, TraceLog::Pieces text)
{
    PluginLogs(state.Initialised()).WriteError(kBridgeSource, line, code, text);
}

BridgePlayer::~BridgePlayer()
{
    // Held, so that calls a window procedure makes meanwhile are nested in this.
    const CallLock::Hold hold(lock);
    notNestable = "made while the player is released";
    link.Stop();
}

bool BridgePlayer::Releasable()
{
    if (!lock.HeldByThisThread()) return true;
    ReportError(__LINE__, 0,
                {texts::kNestedCallNotCarried, "\nReleaseSinglePlayerDll(): a call of the same thread is in flight; "
                                               "the player stays"});
    return false;
}

int32_t BridgePlayer::Forward(const Call& call)
try {
    const CallLock::Hold hold(lock);
    if (stopped) return PLAY_ERR_UNKNOWN;
    const uint32_t depth = lock.Entries() - 1;
    if (depth > 0) {
        if (const char* reason = WhyNotNested(depth)) return NotCarried(call.slot, reason);
    } else if (!link.Running() && !Restart()) {
        return PLAY_ERR_UNKNOWN;
    }
    slotsInFlight[depth] = call.slot;
    return Carry(call, depth);
} catch (...) {
    return PLAY_ERR_UNKNOWN;  // no memory for a restart's replay or a record
}

int32_t BridgePlayer::Carry(const Call& call, uint32_t depth)
{
    uint64_t sent = GetTickCount64();
    HelperLink::Outcome outcome = Send(call, depth);
    if (outcome == HelperLink::Outcome::NotTaken && depth == 0) {
        // The helper ended between two calls: this one never reached it.
        HelperLost(kEndedBetweenCalls, sent);
        if (stopped || !Restart()) return PLAY_ERR_UNKNOWN;
        sent = GetTickCount64();
        outcome = Send(call, depth);
    }
    switch (outcome) {
    case HelperLink::Outcome::Answered: break;
    case HelperLink::Outcome::Lost: return PLAY_ERR_UNKNOWN;
    case HelperLink::Outcome::NotSent:
        return NotCarried(call.slot, "posting it to the helper's window failed with system error " +
                                         std::to_string(GetLastError()));
    default: return HelperLost(EndedIn(depth), sent);
    }

    const CallRecord& record = link.Record(depth);
    const int32_t result = record.result;
    if (result == PLAY_OK) {
        const int32_t* value = record.out;
        for (const Out& out : call.outs) {
            if (out.target != nullptr)
                std::memcpy(out.target, value, sizeof(int32_t) * static_cast<std::size_t>(out.count));
            value += out.count;
        }
    }
    state.Note(call.slot, call.args, result, static_cast<const uint8_t*>(call.data));
    return result;
}

const char* BridgePlayer::WhyNotNested(uint32_t depth) const
{
    static_assert(kMaxDepth == 8, "the reason names the depth");
    if (depth >= kMaxDepth) return "nested deeper than 8 calls";
    if (notNestable != nullptr) return notNestable;
    if (!link.Running()) return "the helper ended during the call it is nested in";
    return nullptr;
}

int32_t BridgePlayer::NotCarried(int32_t slot, const std::string& reason)
{
    ReportError(__LINE__, 0, {texts::kNestedCallNotCarried, "\n", RequestName(slot), ": ", reason});
    return PLAY_ERR_UNKNOWN;
}

HelperLink::Outcome BridgePlayer::Send(const Call& call, uint32_t depth)
{
    state.MakeRoomFor(call.slot, call.args, call.data != nullptr ? call.dataSize : 0);
    // A buffer, even an empty one, crosses in a data section: a depth whose
    // calls carried none so far has none yet.
    const uint32_t needed = call.data == nullptr ? 0 : call.dataSize == 0 ? 1 : call.dataSize;
    if (needed > link.DataCapacity(depth)) {
        const HelperLink::Outcome outcome = link.GrowData(depth, needed);
        if (outcome != HelperLink::Outcome::Answered) return outcome;
    }
    CallRecord& record = link.Record(depth);
    record.request = call.slot;
    std::memcpy(record.args, call.args, sizeof record.args);
    record.pointers = 0;
    for (int i = 0; i < 2; ++i)
        if (call.outs[i].target != nullptr) record.pointers |= 1u << i;
    record.dataSize = 0;
    if (needed > link.DataCapacity(depth)) {
        // No room could be made (no memory): the call goes no further.
        record.result = PLAY_ERR_UNKNOWN;
        return HelperLink::Outcome::Answered;
    }
    if (call.data != nullptr) {
        record.pointers |= kDataPointer;
        record.dataSize = call.dataSize;
        std::memcpy(link.Data(depth), call.data, call.dataSize);
    }
    return link.Call(depth);
}

int32_t BridgePlayer::HelperLost(int32_t endedIn, uint64_t when)
{
    ControlBlock& block = link.Control();
    block.previousExitCode = link.LastExitCode();
    block.previousRequest = endedIn;
    if (ends.NoteEnd(when)) {
        stopped = true;
        // No helper follows to report this end, so its dump is named here.
        char detail[256];
        DescribeEnd(block, endedIn, link.LastExitCode(), detail, sizeof detail);
        ReportError(__LINE__, static_cast<int32_t>(link.LastExitCode()),
                    {texts::kHelperStopped, "\n", detail,
                     ": every call answers 26 until the player is released and made anew"});
    }
    return PLAY_ERR_UNKNOWN;
}

int32_t BridgePlayer::EndedIn(uint32_t depth) const
{
    const int32_t inFlight = link.EndedIn(depth);
    return inFlight < 0 ? kEndedBetweenCalls : slotsInFlight[static_cast<std::size_t>(inFlight)];
}

bool BridgePlayer::Restart()
{
    struct NotNestable {
        explicit NotNestable(const char*& reason) : set(reason)
        {
            set = "made while a new helper starts or is brought back to the host's state";
        }
        ~NotNestable() { set = nullptr; }
        const char*& set;
    } whileBringingUp(notNestable);
    const uint64_t started = GetTickCount64();
    StartProblem problem;
    if (!link.Start(HelperProgramFile(), problem)) {
        ReportError(__LINE__, static_cast<int32_t>(problem.systemError),
                    {texts::kHelperNotStarted, "\n", problem.text});
        HelperLost(kEndedAtStart, started);
        return false;
    }
    EstablishedState previous = std::move(state);
    state = EstablishedState();
    if (Replay(previous, started)) return true;
    state = std::move(previous);  // the next helper replays it all again
    return false;
}

bool BridgePlayer::Replay(const EstablishedState& previous, uint64_t started)
{
    for (const ReplayStep& step : previous.Replay()) {
        Call call{step.request, {}};
        std::memcpy(call.args, step.args, sizeof step.args);
        if (step.data != nullptr) {
            call.data = step.data->data();
            call.dataSize = static_cast<uint32_t>(step.data->size());
        }
        if (Send(call, 0) != HelperLink::Outcome::Answered) {
            HelperLost(kEndedInReplay, started);
            return false;
        }
        if (step.request < kSlotCount)
            state.Note(call.slot, call.args, link.Record(0).result, static_cast<const uint8_t*>(call.data));
    }
    return true;
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Init(int32_t value)
{
    return Forward({kInit, {value}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Uninit()
{
    return Forward({kUninit, {}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_SetOverlayMode(int32_t port, uint32_t colorKey)
{
    return Forward({kSetOverlayMode, {port, static_cast<int32_t>(colorKey)}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey)
{
    return Forward({kGetPreviewMode, {port}, nullptr, 0, {{overlay, 1}, {colorKey, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_SetOpenMode(int32_t port, int32_t openMode)
{
    return Forward({kSetOpenMode, {port, openMode}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_OpenStream(void* window, int32_t port, const void* openBuffer,
                                                     uint32_t openBufferSize, int32_t reserved)
{
    // The plug-in never reads the open buffer, but it crosses for the replay:
    // one that cannot be read is refused here rather than crash the host.
    if (openBuffer != nullptr && (openBufferSize > kMaxCallData || !IsReadable(openBuffer, openBufferSize)))
        return PLAY_ERR_PARAM;
    return Forward({kOpenStream,
                    {HandleValue(window), port, 0, static_cast<int32_t>(openBufferSize), reserved},
                    openBuffer,
                    openBufferSize});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_InputData(int32_t port, const uint8_t* buffer, uint32_t size,
                                                    int32_t dataType)
{
    // Data that cannot be read is refused here rather than crash the host in the copy.
    if (buffer != nullptr && (size > kMaxCallData || !IsReadable(buffer, size))) return PLAY_ERR_PARAM;
    return Forward({kInputData, {port, 0, static_cast<int32_t>(size), dataType}, buffer, size});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_CloseStream(int32_t port)
{
    return Forward({kCloseStream, {port}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_PlayState(int32_t port, int32_t type)
{
    return Forward({kPlayState, {port, type}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetPlayState(int32_t port, int32_t* playState)
{
    return Forward({kGetPlayState, {port}, nullptr, 0, {{playState, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_SetVolume(int32_t port, int32_t level)
{
    return Forward({kSetVolume, {port, level}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetVolume(int32_t port, int32_t* level)
{
    return Forward({kGetVolume, {port}, nullptr, 0, {{level, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetPicture(int32_t port, uintptr_t picture)
{
    // A capture value is the address of a file path; values below the lowest
    // address cross as the numbers they are.
    if (picture < kLowestAddress) return Forward({kGetPicture, {port, static_cast<int32_t>(picture)}});
    const uint32_t length = CapturePathLength(picture);
    if (length == 0) return PLAY_ERR_PARAM;
    char path[kMaxPathBytes];
    std::memcpy(path, reinterpret_cast<const char*>(picture), length - 1);
    path[length - 1] = '\0';
    return Forward({kGetPicture, {port, 0}, path, length});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_RefreshPlay(int32_t port)
{
    return Forward({kRefreshPlay, {port}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetHeadLen(int32_t* headLen)
{
    return Forward({kGetHeadLen, {}, nullptr, 0, {{headLen, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetPictureSize(int32_t port, int32_t* width, int32_t* height)
{
    return Forward({kGetPictureSize, {port}, nullptr, 0, {{width, 1}, {height, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Reserved16(int32_t a, int32_t b)
{
    return Forward({kReserved16, {a, b}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetPicQuality(int32_t port, int32_t* quality)
{
    return Forward({kGetPicQuality, {port}, nullptr, 0, {{quality, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Reserved18(int32_t a, int32_t b)
{
    return Forward({kReserved18, {a, b}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_GetThrowNum(int32_t port, int32_t* count)
{
    return Forward({kGetThrowNum, {port}, nullptr, 0, {{count, 1}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Reserved20(int32_t a, int32_t b, int32_t c)
{
    return Forward({kReserved20, {a, b, c}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_SetVideoPara(int32_t port, int32_t* para)
{
    return Forward({kSetVideoPara, {port}, nullptr, 0, {{para, 6}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Reserved22(int32_t a, int32_t b, int32_t c)
{
    return Forward({kReserved22, {a, b, c}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_SetDispRegion(int32_t port, int32_t* region)
{
    return Forward({kSetDispRegion, {port}, nullptr, 0, {{region, 4}}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Reserved24(int32_t a)
{
    return Forward({kReserved24, {a}});
}

int32_t PELSHX_STDCALL BridgePlayer::Play_Reserved25(int32_t a, int32_t b)
{
    return Forward({kReserved25, {a, b}});
}

}  // namespace bridge
