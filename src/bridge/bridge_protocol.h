#pragma once

// What the 64-bit bridge DLL and its 32-bit helper share: the layout of the
// control block, one small section that never moves, and the meaning of its
// fields. Call data (input, open buffers, capture paths) lives in sections of
// its own, one per nesting depth, each replaced by a larger one when a call
// needs it. Every field has the same size and offset in both programs.
//
// One call at depth d: the bridge fills calls[d] (request, args, pointers)
// and depth d's data, stamps handedAt, bumps its sequence and hands it over;
// the helper copies sequence to taken, makes the call on the plug-in, fills
// result and out, stamps answeredAt and copies taken to answered.
//
// Nested calls: a call made on the bridge's calling thread while its call at
// depth d - 1 waits (a host window procedure serving a message, perhaps one
// the vendor library sent) is nested at depth d: it is posted as
// kNestedCallMessage with d to the helper's message-only window
// (SendNotifyMessage) before it is handed over. The helper's thread serves
// the messages sent to its window inside a SendMessage of its own (the vendor
// library's to a host window): there the nested call runs nested inside the
// vendor call, as in process. Otherwise it serves them when a hand-over
// comes with no call at depth 0 to take: right after the call the nested one
// is nested in. The bridge serves the messages sent to the host's windows
// while it waits. At most kMaxDepth calls are in flight, one per depth, all
// made on one host thread.
//
// Hand-over, through the section first and the events second. Each side
// publishes with a sequentially consistent store, then wakes the other side
// when that one announced a sleep:
//   bridge: handedAt, sequence of calls[d], the nested message if d > 0,
//           handOvers += 1, then SetEvent(request) if exchange(helperAsleep, 0)
//   helper: answeredAt, answered of calls[d], then SetEvent(response) if
//           exchange(bridgeAsleep, 0) (for depth 0 in one step with its wait,
//           SignalObjectAndWait, when it sleeps at once)
// A waiting side first polls what it waits for (the bridge calls[d].answered,
// the helper handOvers), yielding its CPU between looks, for at most
// pollMicroseconds: the helper while requests come back to back (the bridge
// took no longer than that to make its last request at depth 0 after it took
// the answer before it: handedAt - receivedAt), which covers the bridge's
// wake when it slept; the bridge only when it found the helper polling (its
// exchange of helperAsleep gave 0), and then twice as long as its last answer
// took (answeredAt - handedAt). Then it sleeps on its event, announced:
// it stores 1 to its flag, looks once more, and waits only when that look
// finds nothing, and does so again after every wake. Flag and look on one side,
// publication and exchange on the other, are all sequentially consistent, so
// one of the two sees the other's store: no hand-over falls between the last
// look and the wait. A side that stops waiting stores 0 (the bridge also
// while it serves a message), so that nothing sets an event for nobody. An
// event set for news the sleeper found itself, the flag taken in between, is
// only a wake that finds nothing: every wait looks after each wake. The
// response event serves every depth. The watchdog counts the bridge's wait
// after its poll: the poll is at most pollMicroseconds, the helper's time too.
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace bridge {

// The slots of IPlayer, in table order: a request names one of them.
enum Slot : int32_t {
    kInit,
    kUninit,
    kSetOverlayMode,
    kGetPreviewMode,
    kSetOpenMode,
    kOpenStream,
    kInputData,
    kCloseStream,
    kPlayState,
    kGetPlayState,
    kSetVolume,
    kGetVolume,
    kGetPicture,
    kRefreshPlay,
    kGetHeadLen,
    kGetPictureSize,
    kReserved16,
    kGetPicQuality,
    kReserved18,
    kGetThrowNum,
    kReserved20,
    kSetVideoPara,
    kReserved22,
    kSetDispRegion,
    kReserved24,
    kReserved25,
    kSlotCount
};

// Requests beyond the slots.
enum Control : int32_t {
    kMapData = 100,       // args[0]: the new data section's handle in the helper, args[1]: its size
    kWriteRestartRecord,  // args[0]: 1 when Play_Init has been replayed
    kRelease,             // ReleaseSinglePlayerDll, after which the helper ends
};

// How the helper's start went, in startState.
enum StartState : int32_t {
    kStarting = 0,
    kReady,
    kPluginNotLoaded,  // startError: the system's error code
    kNoExports,
    kNoPlayer,  // CreateSinglePlayerDll gave null
    kBadCommandLine,
    kNoWindow,  // the window for nested calls; startError: the system's error code
    kVendorNotLoaded,  // startError: the system's error code
};

// The files the helper loads from its own folder, the x86 folder.
constexpr wchar_t kPluginFile[] = L"PelShx_PlaySDK.dll";
constexpr wchar_t kVendorFile[] = L"SHXStrm.dll";

constexpr uint32_t kProtocolVersion = 3;
// The longest poll before a sleep on an event. Far below the 1 ms within which
// the bridge serves a message sent to the host's windows while it waits.
constexpr uint32_t kPollMicroseconds = 50;
// Calls in flight at once: one and those nested in it.
constexpr uint32_t kMaxDepth = 8;
// WM_APP + 1, to the helper's window: wParam is the depth of the nested call.
constexpr uint32_t kNestedCallMessage = 0x8001;
constexpr int kMaxArgs = 6;
constexpr int kMaxOuts = 6;
// Largest buffer one call may carry: an input, an open buffer or a capture path.
constexpr uint32_t kMaxCallData = 16u * 1024 * 1024;
// The data section's size at the start; it grows in powers of two.
constexpr uint32_t kInitialDataSize = 256u * 1024;
// A capture path is read up to its NUL, at most this many bytes with it.
constexpr uint32_t kMaxPathBytes = 260;
// Capture values below this are never addresses on Windows: they are handed
// over as the numbers they are.
constexpr uintptr_t kLowestAddress = 0x10000;
constexpr std::size_t kDumpNameBytes = 64;

// pointers: bit i set when the host passed a non-null pointer for out[i]; the
// data pointer of the call is kDataPointer.
constexpr uint32_t kDataPointer = 1u << 31;

// The source the bridge's own error records name.
constexpr char kBridgeSource[] = ".\\Src\\PelShxBridge";

// Where a helper ended, beside the slots: at its start, in the replay for a
// new helper, or between two calls (a thread of the vendor library crashed).
enum EndedIn : int32_t { kEndedInReplay = -1, kEndedBetweenCalls = -2, kEndedAtStart = -3 };

// "Play_InputData()" for a slot, else "its start", "the replay" or "between calls".
const char* RequestName(int32_t request);

struct ControlBlock;
// How a helper ended, for an error record, from what the block holds:
// "Play_InputData(), exit code 0xC0000005, dump NAME", else "no dump" or why
// none could be written. Allocates nothing.
void DescribeEnd(const ControlBlock& block, int32_t request, uint32_t exitCode, char* text, std::size_t size);

// One call in flight, at one depth.
struct CallRecord {
    std::atomic<uint32_t> sequence;  // bumped by the bridge for each request
    std::atomic<uint32_t> taken;     // the sequence the helper has started on
    std::atomic<uint32_t> answered;  // the sequence whose result and out are written
    int32_t request;                 // an IPlayer slot or a Control value
    int32_t args[kMaxArgs];
    uint32_t pointers;
    uint32_t dataSize;
    int32_t result;
    int32_t out[kMaxOuts];
    // Hand-over clock ticks (QueryPerformanceCounter, one clock for every
    // process of the machine) when the bridge handed the request over, when
    // the helper answered it and when the bridge took the answer: what each
    // side's poll is made of.
    int64_t handedAt;
    int64_t answeredAt;
    int64_t receivedAt;
};

struct ControlBlock {
    uint32_t version;
    // Start-up, written by the helper before it answers calls[0].
    int32_t startState;
    uint32_t startError;
    uint32_t helperWindow;  // the window nested calls are posted to, as its 32-bit value
    // The longest poll of either side, set by the bridge before the helper
    // starts: kPollMicroseconds, or 0 for a hand-over through the events alone.
    uint32_t pollMicroseconds;
    std::atomic<uint32_t> handOvers;     // bumped by the bridge after each hand-over
    std::atomic<uint32_t> helperAsleep;  // 1: the helper sleeps on the request event, or is about to
    std::atomic<uint32_t> bridgeAsleep;  // 1: the bridge sleeps on the response event, or is about to

    CallRecord calls[kMaxDepth];

    // A helper that crashes sets crashCode (the exception code) before it
    // writes its dump, and dumpName (file name only) once the dump is
    // written, or dumpError (the system's error code) when it could not be.
    std::atomic<uint32_t> crashCode;
    char dumpName[kDumpNameBytes];
    uint32_t dumpError;
    // Set by the bridge before it starts a helper in place of one that ended:
    // its exit code and the call it ended in, for the restart record.
    uint32_t previousExitCode;
    int32_t previousRequest;
};

static_assert(sizeof(std::atomic<uint32_t>) == 4 && std::atomic<uint32_t>::is_always_lock_free);
static_assert(sizeof(CallRecord) == 104 && offsetof(CallRecord, handedAt) == 80, "the same layout for both programs");
static_assert(offsetof(ControlBlock, calls) == 32, "the same layout for both programs");
static_assert(offsetof(ControlBlock, crashCode) == 864, "the same layout for both programs");
static_assert(sizeof(ControlBlock) == 944, "the same layout for both programs");

}  // namespace bridge
