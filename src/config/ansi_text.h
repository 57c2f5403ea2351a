#pragma once

// Text in the system's ANSI code page, where a two-byte character's second
// byte may have the value of '[', ']', '\' or any other ASCII punctuation: it
// is never taken for that character.

#include "platform/platform.h"

#include <string>

// The first `wanted` at or after `from` that is a character of its own;
// std::string::npos when none. `from` must be at the start of a character.
inline std::size_t FindAnsiCharacter(const std::string& text, char wanted, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == wanted) return i;
        if (platform::IsLeadByte(static_cast<unsigned char>(text[i]))) ++i;
    }
    return std::string::npos;
}
