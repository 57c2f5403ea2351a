// Runs a fuzz target on pseudo-random inputs from a fixed seed, so that the
// ordinary builds exercise it as a test without a fuzzing engine.
// Usage: <program> [inputs] [seed]

#include "support/temporary_root.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    const long inputs = argc > 1 ? std::atol(argv[1]) : 2000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1;
    // Files the target writes land in the program's temporary root.
    std::filesystem::current_path(test_files::TemporaryRootPath());
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
