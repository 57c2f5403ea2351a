#include "stream_file.h"

#include "config/paths.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint64_t kHeadBytes = 64;
const char kNoRegularFile[] = "it is no regular file: a pipe or a device cannot be replayed";

}  // namespace

// By its name in the ANSI code page, as the plug-in names its files: a path
// object would convert a two-byte name.
bool StreamFile::Open(const std::string& path, std::string& error)
{
    const std::int64_t bytes = platform::FileSize(path);
    // Before opening it: a pipe holds the opening up until a writer comes.
    if (bytes < 0 && platform::FindsEntry(path)) {
        error = DirectoryExists(path + "/") ? "it is a directory" : kNoRegularFile;
        return false;
    }
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file || bytes <= 0) {
        error = !file ? std::strerror(errno) : bytes == 0 ? "the file is empty" : kNoRegularFile;
        return false;
    }
    size = left = static_cast<uint64_t>(bytes);
    head.resize(static_cast<std::size_t>(std::min(size, kHeadBytes)));
    if (std::fread(head.data(), 1, head.size(), file.get()) != head.size() || std::fseek(file.get(), 0, SEEK_SET)) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool StreamFile::Next(uint32_t chunkBytes, std::vector<uint8_t>& chunk)
{
    chunk.resize(static_cast<std::size_t>(std::min<uint64_t>(chunkBytes, left)));
    chunk.resize(std::fread(chunk.data(), 1, chunk.size(), file.get()));
    left -= chunk.size();
    return !chunk.empty();
}
