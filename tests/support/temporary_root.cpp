// Every test program works in a short directory of its own, made in the
// system's temporary directory when the program starts and removed, with all
// it holds, when it ends. Natively it is also the system drive root the
// plug-in sees. Configuration lines and log paths built from it stay short
// wherever the checkout lives, and programs running side by side never meet.

#include "temporary_root.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
// Windows has no mkdtemp: random names are tried until one can be created.
fs::path MakeUniqueDirectory(const fs::path& parent)
{
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = parent / ("pelshx-" + std::to_string(random() % 1000000));
        if (fs::create_directory(candidate)) return candidate;
    }
    throw std::runtime_error("no temporary directory could be made");
}
#else
fs::path MakeUniqueDirectory(const fs::path& parent)
{
    std::string pattern = (parent / "pelshx-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + parent.string());
    return pattern;
}
#endif

class TemporaryRoot {
public:
    TemporaryRoot() : path_(MakeUniqueDirectory(fs::temp_directory_path()))
    {
#ifndef _WIN32
        setenv("PELSHX_SYSTEM_ROOT", path_.c_str(), 1);
#endif
    }
    ~TemporaryRoot()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryRoot(const TemporaryRoot&) = delete;
    TemporaryRoot& operator=(const TemporaryRoot&) = delete;

    std::string Slashed() const { return path_.generic_string() + "/"; }

private:
    fs::path path_;
};

const TemporaryRoot& Root()
{
    static const TemporaryRoot root;
    return root;
}

// Made before main, so that the plug-in never sees another system drive root.
const bool kRootMade = (Root(), true);

}  // namespace

namespace test_files {

std::string TemporaryRootPath()
{
    return Root().Slashed();
}

}  // namespace test_files
