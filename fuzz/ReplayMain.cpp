// Replays the kept corpus of a fuzz target as a regression test: every file of the folders
// given goes through the target once. Fails when a folder holds no input, so that a lost
// corpus cannot pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    // The folders are found before the target's set-up, which may change the working folder.
    std::vector<std::filesystem::path> dirs;
    for (int i = 1; i < argc; ++i) {
        dirs.push_back(std::filesystem::absolute(argv[i]));
    }
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    std::vector<std::filesystem::path> inputs;
    for (const auto& dir : dirs) {
        const std::size_t before = inputs.size();
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                inputs.push_back(entry.path());
            }
        }
        if (inputs.size() == before) {
            std::fprintf(stderr, "%s holds no input\n", dir.string().c_str());
            return 1;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
