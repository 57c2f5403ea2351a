#pragma once

// The plug-in's one player object: the IPlayer interface over the vendor
// library, its ports, their bindings to the vendor channels, and its logs.
// The 26 slots (slots.cpp) enter the operations below through one guard.

#include "PelShx_PlaySDK.h"
#include "playback/channel_bindings.h"
#include "playback/port_stream.h"
#include "trace/trace_log.h"
#include "vendor/shx_strm.h"

#include <string_view>

constexpr int32_t INPUT_RETRY_LIMIT = 10;
constexpr unsigned INPUT_RETRY_DELAY_MS = 100;

// Every error record names this source; the line is that of the reporting statement.
extern const char kReportingSource[];

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

private:
    // What a port operation writes in its entry record and uses as context.
    struct Operation {
        const char* description;  // GBK label of the entry record
        const char* name;         // interface name, such as "Play_CloseStream"
        int32_t entryLevel;       // debugLevel from which the entry record is written
    };

    // The operations behind the slots, in their order.
    int32_t Init();
    int32_t Uninit();
    int32_t SetOverlayMode(int32_t port, uint32_t colorKey);
    int32_t GetPreviewMode(int32_t port, int32_t* overlay, uint32_t* colorKey);
    int32_t SetOpenMode(int32_t port);
    int32_t OpenStream(void* window, int32_t port, const void* openBuffer, uint32_t openBufferSize);
    int32_t InputData(int32_t port, const uint8_t* buffer, uint32_t size, int32_t dataType);
    int32_t CloseStream(int32_t port);
    int32_t PlayState(int32_t port, int32_t type);
    int32_t GetPlayState(int32_t port, int32_t* state);
    int32_t SetVolume(int32_t port, int32_t level);
    int32_t GetVolume(int32_t port, int32_t* level);
    int32_t GetPicture(int32_t port, uintptr_t picture);
    int32_t RefreshPlay(int32_t port);
    int32_t GetHeadLen(int32_t* headLen);
    int32_t GetPictureSize(int32_t port, int32_t* width, int32_t* height);
    int32_t GetPicQuality(int32_t port, int32_t* quality);
    int32_t GetThrowNum(int32_t port, int32_t* count);
    int32_t SetVideoPara(int32_t port, int32_t* para);
    int32_t SetDispRegion(int32_t port, int32_t* region);

    static bool IsValidPort(int32_t port) { return port >= 0 && port < PLAY_MAX_PORTS; }

    // The port operations' common steps are inline: at debug level 0 they are
    // all the plug-in adds to a call of the vendor library.
    void WriteEntryRecord(const Operation& operation) noexcept
    {
        if (debugLevel >= operation.entryLevel) WriteEntryRecordNow(operation);
    }
    void WriteEntryRecordNow(const Operation& operation) noexcept;
    // An error record of the plug-in's own (code 0 unless given).
    void ReportError(int32_t line, TraceLog::Pieces text, int32_t code = 0) noexcept;
    // Reports a refused call with code 0 and returns its result.
    int32_t Refuse(int32_t line, const char* text, int32_t result) noexcept;
    int32_t RejectArgument(int32_t line) noexcept;
    // Writes one error record for a failed step, with the translation of the
    // vendor code and, on a line of its own, the function that failed written
    // as a call ("name()"); returns the code's result. Code 0 stands for a
    // failed check of the plug-in's own.
    int32_t TranslateShxResult(int32_t line, int32_t vendorCode, std::string_view failedFunction) noexcept;
    int32_t ReportVendorFailure(int32_t line, int32_t status, ShxFunction function) noexcept
    {
        return TranslateShxResult(line, status, kShxFunctionNames[function]);
    }

    // The common start of the port operations: entry record, port range, and
    // for those that need it the channel lookup. PLAY_OK when the operation
    // may go on. Failures are reported at the caller's line.
    int32_t BeginOnPort(const Operation& operation, int32_t port, int32_t line = __builtin_LINE()) noexcept
    {
        WriteEntryRecord(operation);
        return IsValidPort(port) ? PLAY_OK : RejectArgument(line);
    }
    int32_t BeginOnChannel(const Operation& operation, int32_t port, int32_t& channel,
                           int32_t line = __builtin_LINE()) noexcept
    {
        if (const int32_t result = BeginOnPort(operation, port, line)) return result;
        channel = bindings.ChannelOf(port);
        return channel != ChannelBindings::kUnbound ? PLAY_OK : TranslateShxResult(line, 0, operation.name);
    }

    // Reports values of a port through a host's pointer: copy(stream, out)
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
    PortStream ports[PLAY_MAX_PORTS];
    TraceLog trace;
    int32_t debugLevel = 0;
    uint32_t overlayColorKey = 0x00FF00FF;
    int32_t volume = 0;
};
