#pragma once

// The few operating-system services the plug-in needs. One implementation per
// platform (platform_win32.cpp, platform_posix.cpp); nothing else in the plug-in
// includes an operating-system header.

#include <cstddef>
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

void PauseMilliseconds(unsigned milliseconds);

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
