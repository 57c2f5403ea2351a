#include "plugin/shx_player.h"
#include "trace/log_texts.h"

namespace {

struct Translation {
    const char* text;
    int32_t result;
};

Translation TranslationOf(int32_t vendorCode)
{
    switch (vendorCode) {
    case 0:  // a failed check of the plug-in's own
    case -1: return {texts::kIllegalInput, PLAY_ERR_PARAM};
    case -2: return {texts::kBufferOverflow, PLAY_ERR_BUFFER};
    case -2001: return {texts::kTooManyStreams, PLAY_ERR_MAX_STREAMS};
    default: return {texts::kUnknownError, PLAY_ERR_UNKNOWN};
    }
}

}  // namespace

int32_t ShxPlayer::TranslateShxResult(int32_t line, int32_t vendorCode, std::string_view failedFunction) noexcept
{
    const Translation translation = TranslationOf(vendorCode);
    trace.WriteError(kReportingSource, line, vendorCode, {translation.text, "\n", failedFunction, "()"});
    return translation.result;
}
