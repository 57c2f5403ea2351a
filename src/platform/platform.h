#pragma once

// The few operating-system services the plug-in needs. One implementation per
// platform (platform_win32.cpp, platform_posix.cpp); nothing else in the plug-in
// includes an operating-system header.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The directory the system itself lives in (on Windows the system directory,
// such as C:\WINDOWS\system32). False when the system cannot tell.
bool SystemDirectory(std::string& directory);

// How many leading characters of the normalised system directory name the
// drive root: "C:/" on Windows; on POSIX the whole directory stands for it.
extern const std::size_t kDriveRootLength;

// True when the search for a name or pattern ("dir/*") finds an entry.
bool FindsEntry(const std::string& nameOrPattern);

enum class MakeDirResult { Created, AlreadyExists, Failed };
MakeDirResult MakeDirectory(const std::string& path);

// Moves a file to a new name, replacing a file that has that name. The outcome
// is not reported: callers try again on their next occasion.
void MoveReplacing(const std::string& from, const std::string& to);

// The line break of a text file: "\r\n" on Windows, "\n" elsewhere.
extern const char kLineBreak[];

// True when the byte opens a two-byte character of the system's ANSI code
// page: the byte after it belongs to the same character, whatever its value.
// Natively the rule of the Chinese code page (936): 0x81 to 0xFE.
bool IsLeadByte(unsigned char byte);

// Appends the bytes to the file, made when missing, with one write that no
// other process's append can split or overlap, even another host's on the
// same file. The file's size after the write; -1 when the file cannot be
// opened or written. Allocates nothing.
std::int64_t AppendToFile(const std::string& path, const char* bytes, std::size_t size);

// The size of a regular file; -1 when there is none at the path.
std::int64_t FileSize(const std::string& path);

// Taken by every process, for as long as it lives, before it moves the file
// at the path aside, so that such moves happen one at a time: on Windows a
// named mutex derived from the file's full path (which appends take too),
// natively a lock on the file's directory. When it cannot be had within 5
// seconds the holder goes ahead without it. Allocates nothing.
class FileMoveLock {
public:
    explicit FileMoveLock(const std::string& path);
    ~FileMoveLock();
    FileMoveLock(const FileMoveLock&) = delete;
    FileMoveLock& operator=(const FileMoveLock&) = delete;

private:
    std::intptr_t handle;
};

void PauseMilliseconds(unsigned milliseconds);

// Sets the calling thread's system error code to "not enough memory", for a
// host to read after an export answered null: ERROR_NOT_ENOUGH_MEMORY
// (GetLastError) on Windows, ENOMEM (errno) natively.
void SetOutOfMemoryError();

struct LocalTime {
    int month;  // 1..12
    int day;
    int hour;
    int minute;
    int second;
    unsigned millisecond;
};
LocalTime CurrentLocalTime();

}  // namespace platform
