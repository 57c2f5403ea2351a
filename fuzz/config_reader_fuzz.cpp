// Reads values from configuration files made of the input's bytes, with the
// section and key names taken from the input too.

#include "config/config_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "config_reader_fuzz." + std::to_string(getpid()) + ".cfg";
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('\0');
    const std::string names = split == std::string::npos ? "GLOBAL" : text.substr(0, split);
    const std::string content = split == std::string::npos ? text : text.substr(split + 1);

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);

    for (const char* key : {"TRACE_PATH", "DEBUG_LEVEL", names.c_str()}) {
        std::string value = "unchanged";
        const int result = ReadConfigValue(path, names, key, value);
        if (result != 0 && result != -1) std::abort();
        if (result == -1 && value != "unchanged") std::abort();
        // A value never holds a bracket or a line break: it was taken between brackets on one line.
        if (result == 0 && value.find_first_of("]\n") != std::string::npos) std::abort();
    }
    return 0;
}
