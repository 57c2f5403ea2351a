#pragma once

// The recorded stream, read from its file one chunk at a time: the bytes the
// file held when it was opened, however it grows meanwhile.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class StreamFile {
public:
    // False, with the reason in error, when the file cannot be read, is empty,
    // or is no regular file (a directory; a pipe or a device, whose size is not
    // known and whose start cannot be read again).
    bool Open(const std::string& path, std::string& error);

    uint64_t Size() const { return size; }
    // The first bytes of the stream, for Play_OpenStream.
    const std::vector<uint8_t>& Head() const { return head; }
    // The next chunk of at most chunkBytes; false at the end of the stream.
    bool Next(uint32_t chunkBytes, std::vector<uint8_t>& chunk);

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, &std::fclose};
    uint64_t size = 0;
    uint64_t left = 0;  // of size, not yet read
    std::vector<uint8_t> head;
};
