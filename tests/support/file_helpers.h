#pragma once

// File and directory helpers shared by the unit tests.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

#include "support/temporary_root.h"

namespace test_files {

namespace fs = std::filesystem;

// The system drive root the plug-in sees, found without the plug-in's help:
// the drive of the system directory on Windows, natively the directory that
// the test's environment names, with a trailing slash.
inline std::string SystemDriveRoot()
{
#ifdef _WIN32
    char systemDirectory[MAX_PATH] = {};
    if (GetSystemDirectoryA(systemDirectory, sizeof systemDirectory) == 0) return "c:/";
    return std::string(systemDirectory, 2) + "/";
#else
    const char* root = std::getenv("PELSHX_SYSTEM_ROOT");
    std::string directory = (root != nullptr && *root != '\0') ? root : "/";
    if (directory.back() != '/') directory += '/';
    return directory;
#endif
}

// True when the ANSI code page is the Chinese one (936), whose two-byte
// characters the plug-in's names are made of on its users' machines; always
// natively, where the plug-in follows that code page's rule. Under Wine it is
// chosen with LC_ALL=zh_CN.UTF-8.
inline bool ChineseCodePage()
{
#ifdef _WIN32
    return GetACP() == 936;
#else
    return true;
#endif
}

// Names in the Chinese code page whose second byte has the value of a
// character the plug-in looks for: 揮 ends in ']' (0x5D), 乗 in '\' (0x5C).
constexpr char kGbkHui[] = "\x93\x5d";
constexpr char kGbkCheng[] = "\x81\x5c";

inline std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads a text-mode file: CR LF comes back as "\n" on Windows. "" when missing.
inline std::string ReadText(const fs::path& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ReadText for a name in the ANSI code page, as the plug-in names files: the
// C library takes it as it is, where a path object would convert it.
inline std::string ReadAnsiNamedText(const std::string& file)
{
    std::string text;
    if (std::FILE* in = std::fopen(file.c_str(), "r")) {
        for (int c; (c = std::fgetc(in)) != EOF;) text += static_cast<char>(c);
        std::fclose(in);
    }
    return text;
}

// Writes text in text mode, making the file's directory first.
inline void WriteText(const fs::path& file, const std::string& text)
{
    std::error_code ignored;
    fs::create_directories(file.parent_path(), ignored);
    std::ofstream(file, std::ios::trunc) << text;
}

inline void Remove(const fs::path& file)
{
    std::error_code ignored;
    fs::remove(file, ignored);
}

// Writes the bytes exactly as given: no line-break translation.
inline void WriteBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What a text-mode file holds for text written with "\n" line breaks: CR LF on
// Windows, LF elsewhere.
inline std::string TextModeBytes(const std::string& text)
{
#ifdef _WIN32
    std::string bytes;
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
#else
    return text;
#endif
}

// Bytes in a readable form for failure messages: line breaks and bytes outside
// printable ASCII are escaped.
inline std::string Escaped(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (u < 0x20 || u >= 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

#ifndef _WIN32
// How many files this process has open.
inline std::ptrdiff_t OpenFiles()
{
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}
#endif

// Holds an existing file as a program that shares it with no one, for as long
// as it lives: on Windows opened without sharing; natively with a read lease,
// which turns away every open for writing made without blocking (SIGIO, which
// tells the holder that someone wants the file, is ignored meanwhile).
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
    {
#ifdef _WIN32
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        held_ = handle_ != INVALID_HANDLE_VALUE;
#else
        previousSignal_ = std::signal(SIGIO, SIG_IGN);
        descriptor_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        held_ = descriptor_ >= 0 && fcntl(descriptor_, F_SETLEASE, F_RDLCK) == 0;
#endif
    }
    ~HeldFile()
    {
#ifdef _WIN32
        if (held_) CloseHandle(handle_);
#else
        if (descriptor_ >= 0) close(descriptor_);  // closing gives the lease up
        std::signal(SIGIO, previousSignal_);
#endif
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Held() const { return held_; }

private:
    bool held_ = false;
#ifdef _WIN32
    HANDLE handle_;
#else
    int descriptor_ = -1;
    void (*previousSignal_)(int) = SIG_DFL;
#endif
};

// A directory made empty for one test and removed, with everything in it,
// when the test ends.
class ScratchDir {
public:
    explicit ScratchDir(fs::path path) : path_(std::move(path))
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        fs::create_directories(path_);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& Path() const { return path_; }
    // The directory with forward slashes and a trailing slash, as the plug-in writes paths.
    std::string Slashed() const { return path_.generic_string() + "/"; }
    std::string File(const std::string& name) const { return Slashed() + name; }

private:
    fs::path path_;
};

// Makes a directory the current one until the end of the scope.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& directory) : previous_(fs::current_path())
    {
        fs::current_path(directory);
    }
    ~CurrentDirectory()
    {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    fs::path previous_;
};

}  // namespace test_files
