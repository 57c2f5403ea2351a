#include "stream_file.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kHeadBytes = 64;

}  // namespace

bool StreamFile::Open(const std::string& path, std::string& error)
{
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    head.resize(kHeadBytes);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    if (head.empty()) {
        error = std::ferror(file.get()) ? std::strerror(errno) : "the file is empty";
        return false;
    }
    size = 0;
    std::vector<uint8_t> skipped;
    std::rewind(file.get());
    while (Next(1 << 20, skipped)) size += skipped.size();
    std::rewind(file.get());
    return true;
}

bool StreamFile::Next(uint32_t chunkBytes, std::vector<uint8_t>& chunk)
{
    chunk.resize(chunkBytes);
    chunk.resize(std::fread(chunk.data(), 1, chunk.size(), file.get()));
    return !chunk.empty();
}
