#include "stream_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

constexpr uint64_t kHeadBytes = 64;

}  // namespace

bool StreamFile::Open(const std::string& path, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::file_status status = fs::status(path, failure);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        error = "it is no regular file: a pipe or a device cannot be replayed";
        return false;
    }
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    size = fs::file_size(path, failure);
    if (failure || size == 0) {
        error = failure ? failure.message() : "the file is empty";
        return false;
    }
    head.resize(static_cast<std::size_t>(std::min(size, kHeadBytes)));
    if (std::fread(head.data(), 1, head.size(), file.get()) != head.size() || std::fseek(file.get(), 0, SEEK_SET)) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool StreamFile::Next(uint32_t chunkBytes, std::vector<uint8_t>& chunk)
{
    chunk.resize(chunkBytes);
    chunk.resize(std::fread(chunk.data(), 1, chunk.size(), file.get()));
    return !chunk.empty();
}
