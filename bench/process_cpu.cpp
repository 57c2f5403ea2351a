#include "process_cpu.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace bench {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const std::string kProc = "Z:/proc/";
#else
const std::string kProc = "/proc/";
#endif

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string PrefixOf(const std::string& processDirectory)
{
    const std::string environment = Contents(processDirectory + "environ");
    const std::string key = "WINEPREFIX=";
    for (std::size_t start = 0; start < environment.size();) {
        const std::size_t end = std::min(environment.find('\0', start), environment.size());
        if (environment.compare(start, key.size(), key) == 0) return environment.substr(start + key.size(), end - start - key.size());
        start = end + 1;
    }
    return "";
}

// The fields of /proc/PID/stat after the name, which may hold spaces:
// [0] the state, [19] the start time.
struct Stat {
    char state = 'X';
    unsigned long long started = 0;
};

Stat StatOf(const std::string& processDirectory)
{
    const std::string text = Contents(processDirectory + "stat");
    Stat stat;
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) return stat;
    std::istringstream fields(text.substr(nameEnd + 1));
    std::string skipped;
    fields >> stat.state;
    for (int field = 1; field < 19; ++field) fields >> skipped;
    fields >> stat.started;
    return stat;
}

}  // namespace

int FindProcess(const std::string& name)
{
    const char* ownPrefix = std::getenv("WINEPREFIX");
    if (ownPrefix == nullptr) return 0;
    const std::string kept = name.substr(0, 15);
    int found = 0;
    unsigned long long latest = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(kProc, error)) {
        const std::string id = entry.path().filename().string();
        if (id.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string directory = kProc + id + "/";
        if (Contents(directory + "comm").compare(0, kept.size(), kept) != 0) continue;
        const Stat stat = StatOf(directory);
        if (stat.state == 'Z' || stat.state == 'X' || PrefixOf(directory) != ownPrefix || stat.started < latest) continue;
        found = std::atoi(id.c_str());
        latest = stat.started;
    }
    return found;
}

ProcessCpu::ProcessCpu(int processId)
{
    if (processId == 0) return;
    const std::string tasks = kProc + std::to_string(processId) + "/task/";
    std::error_code error;
    for (const fs::directory_entry& task : fs::directory_iterator(tasks, error))
        threads.emplace_back(tasks + task.path().filename().string() + "/schedstat");
}

uint64_t ProcessCpu::Nanoseconds()
{
    uint64_t total = 0;
    for (std::ifstream& thread : threads) {
        thread.clear();
        thread.seekg(0);
        unsigned long long onCpu = 0;
        thread >> onCpu;
        total += onCpu;
    }
    return total;
}

}  // namespace bench
