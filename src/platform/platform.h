#pragma once

// The few operating-system services the plug-in needs. One implementation per
// platform (platform_win32.cpp, platform_posix.cpp); nothing else in the plug-in
// includes an operating-system header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

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
// same file, when made under the file's lock where kAppendsTakeTheLock says
// so. The file's size after the write; kFileHeld when another program holds
// the file (opened without sharing, locked), so that a later append may
// succeed; -1 when it cannot be opened or written otherwise. Allocates nothing.
constexpr std::int64_t kFileHeld = -2;
std::int64_t AppendToFile(const std::string& path, const char* bytes, std::size_t size);

// The size of a regular file; -1 when there is none at the path.
std::int64_t FileSize(const std::string& path);

// True where appends must be made under the file's lock: on Windows, since
// Wine and network shares find the end and write there in two steps. Natively
// an append is one step.
extern const bool kAppendsTakeTheLock;

// The lock that every process writing a log file takes before it moves the
// file aside, and, where kAppendsTakeTheLock says so, before each append: on
// Windows a named mutex derived from the file's full path, in the global
// namespace and usable by every account that signs in, so that hosts of all
// sessions and accounts share it; natively a lock on the file's directory.
// Made once for a path and kept. Taking and releasing it allocate nothing.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(FileLock&& other) noexcept : handle(kNoHandle) { *this = std::move(other); }
    // Swapped: the moved-from lock closes what this one had.
    FileLock& operator=(FileLock&& other) noexcept
    {
        std::swap(name, other.name);
        std::swap(handle, other.handle);
        std::swap(problem, other.problem);
        return *this;
    }

    // 0 when the lock is there to be taken; else the system's code for why it
    // could not be made or opened.
    std::uint32_t Problem() const { return problem; }
    // The mutex's name on Windows; natively the directory.
    const std::string& Name() const { return name; }

    // True once taken; false when it is not had within the time (0: one try)
    // or when there is no lock.
    bool Take(unsigned milliseconds) noexcept;
    void Release() noexcept;

private:
    static const std::intptr_t kNoHandle;
    std::string name;
    std::intptr_t handle;  // Windows: the mutex; natively: the directory while the lock is taken
    std::uint32_t problem = 0;
};

// A clock that only moves forward, in milliseconds from an arbitrary start.
std::uint64_t MonotonicMilliseconds();

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
