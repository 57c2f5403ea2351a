// Runs a fuzz target without a fuzzing engine, so that the ordinary builds
// exercise it as a test: either on pseudo-random inputs from a fixed seed, or
// on every file of a corpus folder (the inputs kept from earlier fuzzing).
// Usage: <program> [inputs] [seed]
//        <program> --corpus FOLDER

#include "support/temporary_root.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunRandomInputs(long inputs, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> input;
    for (long i = 0; i < inputs; ++i) {
        input.resize(random() % 512);
        for (uint8_t& byte : input) byte = static_cast<uint8_t>(random());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld inputs, seed %u: no fault\n", inputs, seed);
    return 0;
}

// An empty or missing corpus fails: a replay of nothing would pass unnoticed.
int ReplayCorpus(const std::filesystem::path& folder)
{
    std::error_code error;
    long files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> input{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++files;
    }
    if (files == 0) {
        std::fprintf(stderr, "no corpus inputs in %s\n", folder.string().c_str());
        return 1;
    }
    std::printf("%ld corpus inputs from %s: no fault\n", files, folder.string().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool replay = argc > 2 && std::strcmp(argv[1], "--corpus") == 0;
    const std::filesystem::path corpus = replay ? std::filesystem::absolute(argv[2]) : std::filesystem::path();
    // Files the target writes land in the program's temporary root.
    std::filesystem::current_path(test_files::TemporaryRootPath());
    if (replay) return ReplayCorpus(corpus);
    const long inputs = argc > 1 ? std::atol(argv[1]) : 2000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1;
    return RunRandomInputs(inputs, seed);
}
