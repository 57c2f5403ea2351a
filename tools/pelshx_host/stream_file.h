#pragma once

// The recorded stream, read from its file one chunk at a time.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class StreamFile {
public:
    // False, with the reason in error, when the file cannot be read, is empty,
    // or is no regular file: a pipe's size is not known and its start cannot
    // be read again.
    bool Open(const std::string& path, std::string& error);

    uint64_t Size() const { return size; }
    // The first bytes of the stream, for Play_OpenStream.
    const std::vector<uint8_t>& Head() const { return head; }
    // The next chunk of at most chunkBytes; false at the end of the stream.
    bool Next(uint32_t chunkBytes, std::vector<uint8_t>& chunk);

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, &std::fclose};
    uint64_t size = 0;
    std::vector<uint8_t> head;
};
