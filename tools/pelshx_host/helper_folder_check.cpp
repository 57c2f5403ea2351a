#include "helper_folder_check.h"

#include "player_library.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr uint16_t kMachineI386 = 0x14c;

// The machine a Windows program or library is built for; 0 when the file is
// none (or cannot be read).
uint16_t PeMachine(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    unsigned char header[64] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'M' || header[1] != 'Z') return 0;
    const uint32_t peOffset = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | static_cast<uint32_t>(header[0x3F]) << 24;
    unsigned char pe[6] = {};
    if (!in.seekg(peOffset) || !in.read(reinterpret_cast<char*>(pe), sizeof pe) || pe[0] != 'P' || pe[1] != 'E' ||
        pe[2] != 0 || pe[3] != 0)
        return 0;
    return static_cast<uint16_t>(pe[4] | pe[5] << 8);
}

struct Part {
    const char* subject;
    const char* file;
    const char* advice;  // when it is missing or not for 32-bit Windows
};

const Part kParts[] = {
    {"helper", "pelshx_bridge32.exe", "put the package's bin/x86 folder, whole, beside the 64-bit PelShx_PlaySDK.dll"},
    {"32-bit plug-in", "PelShx_PlaySDK.dll",
     "put the package's bin/x86 folder, whole, beside the 64-bit PelShx_PlaySDK.dll"},
    {"vendor library", "SHXStrm.dll", "put the vendor's 32-bit SHXStrm.dll into the x86 folder"},
};

}  // namespace

void CheckHelperFolder(const std::string& pluginFile, Findings& findings)
{
    const fs::path folder = fs::path(pluginFile).parent_path() / "x86";
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        findings.Problem("helper", "no folder " + folder.string() + ": the 64-bit plug-in runs the 32-bit one from it",
                         kParts[0].advice);
        return;
    }
    findings.Ok("helper", "the 64-bit plug-in runs the 32-bit one in a helper, from " + folder.string());
    for (const Part& part : kParts) {
        const fs::path file = folder / part.file;
        if (!fs::exists(file, error))
            findings.Problem(part.subject, file.string() + " is missing", part.advice);
        else if (PeMachine(file) != kMachineI386)
            findings.Problem(part.subject, file.string() + " is not built for 32-bit Windows", part.advice);
        else
            findings.Ok(part.subject, file.string() + ", " + VersionText(file.string()));
    }
}
