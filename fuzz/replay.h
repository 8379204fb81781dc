// The inputs a fuzz target has been given to keep: its seed corpus (corpus/<target>/)
// and every input that once made it fail (regressions/<target>/). Tests replay them
// through the same harness, so a fault the fuzzer found stays fixed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zentra::fuzz {

struct KeptInput {
    std::string name; // file name, for failure messages
    std::vector<std::uint8_t> bytes;
};

// fuzzFolder: the source tree's fuzz/ folder. Inputs come sorted by name, seeds first.
inline std::vector<KeptInput> KeptInputs(const std::filesystem::path& fuzzFolder,
                                         std::string_view target) {
    std::vector<KeptInput> inputs;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::filesystem::path folder = fuzzFolder / kind / std::string(target);
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec))
            continue;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.is_regular_file(ec))
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            inputs.push_back({std::string(kind) + "/" + file.filename().string(),
                              std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {})});
        }
    }
    return inputs;
}

} // namespace zentra::fuzz
