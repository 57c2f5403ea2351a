#pragma once

// The plug-in's one player object: the IPlayer interface over the vendor
// library, its 128 ports, their bindings to the 32 vendor channels, and its logs.

#include "PelShx_PlaySDK.h"
#include "playback/channel_bindings.h"
#include "trace/trace_log.h"

#include <string>

constexpr int32_t VIDEO_PARAM_DEFAULT = 50;
constexpr int32_t OPEN_WIDTH = 352;
constexpr int32_t OPEN_HEIGHT = 288;
constexpr int32_t STEP_STATE = 9;
constexpr int32_t WINDOW_REBIND_PERIOD = 5;
constexpr int32_t INPUT_RETRY_LIMIT = 10;
constexpr unsigned INPUT_RETRY_DELAY_MS = 100;

// Every error record names this source; the line is that of the reporting statement.
extern const char kReportingSource[];

struct PortRecord {
    int32_t picQuality = 0;
    int32_t overlayMode = 0;
    int32_t playState = 0;  // 0 not started, 1 opened, 2..8 host states, STEP_STATE
    void* window = nullptr;
    int32_t stepAllowed = 0;
    int32_t throwNum = 0;  // inputs dropped since the last open
    int32_t videoParams[6] = {0, VIDEO_PARAM_DEFAULT, VIDEO_PARAM_DEFAULT, VIDEO_PARAM_DEFAULT, VIDEO_PARAM_DEFAULT, 0};
    int32_t displayRegion[4] = {};
    int32_t inputCounter = 0;  // input calls since the last open, modulo WINDOW_REBIND_PERIOD

    void ResetVideoParams();
};

class ShxPlayer final : public IPlayer {
public:
    ShxPlayer() = default;
    ShxPlayer(const ShxPlayer&) = delete;
    ShxPlayer& operator=(const ShxPlayer&) = delete;
    ~ShxPlayer() = default;

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
    int32_t PELSHX_STDCALL Play_GetPlayState(int32_t port, int32_t* state) override;
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

    // Writes one error record for a failed step and returns its result code.
    // vendorCode 0 stands for a failed check of the plug-in's own.
    int32_t TranslateShxResult(const std::string& sourceFile, int32_t line, int32_t vendorCode,
                               const std::string& context);

private:
    // What a port operation writes in its entry record and uses as context.
    struct Operation {
        const char* description;  // GBK label of the entry record
        const char* name;         // interface name, such as "Play_CloseStream"
        int32_t entryLevel;       // debugLevel from which the entry record is written
    };

    static bool IsValidPort(int32_t port) { return port >= 0 && port < MAX_PORTS; }

    // The port operations' common steps are inline: at debug level 0 they are
    // all the plug-in adds to a call of the vendor library.
    void WriteEntryRecord(const Operation& operation) noexcept
    {
        if (debugLevel >= operation.entryLevel) WriteEntryRecordNow(operation);
    }
    void WriteEntryRecordNow(const Operation& operation) noexcept;
    // An error record of the plug-in's own (code 0 unless given).
    void ReportError(int32_t line, const char* text, int32_t code = 0) noexcept;
    // Reports a refused call with code 0 and returns its result.
    int32_t Refuse(int32_t line, const char* text, int32_t result) noexcept;
    int32_t RejectArgument(int32_t line) noexcept;

    // The common start of the port operations: entry record, port range, and
    // for those that need it the channel lookup. PLAY_OK when the operation
    // may go on. Failures are reported at the caller's line.
    int32_t BeginOnPort(const Operation& operation, int32_t port, int32_t line = __builtin_LINE()) noexcept
    {
        WriteEntryRecord(operation);
        return IsValidPort(port) ? PLAY_OK : RejectArgument(line);
    }
    int32_t BeginOnChannel(const Operation& operation, int32_t port, int32_t& channel,
                           int32_t line = __builtin_LINE())
    {
        if (const int32_t result = BeginOnPort(operation, port, line)) return result;
        channel = bindings.ChannelOf(port);
        return channel != ChannelBindings::kUnbound ? PLAY_OK : ReportUnbound(operation, line);
    }
    int32_t ReportUnbound(const Operation& operation, int32_t line);

    // Reports values of a port record through a host's pointer: copy(record, out)
    // writes them once the port and the pointer have passed their checks.
    template <typename Copy>
    int32_t ReportPortValues(const Operation& operation, int32_t port, int32_t* out, Copy copy,
                             int32_t line = __builtin_LINE()) noexcept
    {
        if (const int32_t result = BeginOnPort(operation, port, line)) return result;
        if (out == nullptr) return RejectArgument(line);
        copy(ports[port], out);
        return PLAY_OK;
    }

    int32_t StopForReopen(int32_t port);
    // False when the vendor library refused every attempt and the data was dropped.
    bool HandOver(int32_t channel, const uint8_t* buffer, uint32_t size, int32_t dataKind) noexcept;

    ChannelBindings bindings;
    TraceLog trace;
    int32_t debugLevel = 0;
    PortRecord ports[MAX_PORTS];
    uint32_t overlayColorKey = 0x00FF00FF;
    int32_t volume = 0;
};
