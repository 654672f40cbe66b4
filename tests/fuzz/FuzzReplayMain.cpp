// Runs a fuzz target's LLVMFuzzerTestOneInput once on every file of the folders it is given,
// so that a build without libFuzzer (gcc, ctest) replays the seeds and every input that once
// crashed or hung the target. A crash or abort fails the test; the input is named first.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

std::vector<std::filesystem::path> inputsIn(const std::filesystem::path &folder)
{
    std::vector<std::filesystem::path> inputs;
    std::error_code error;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file())
            inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER...\n", argv[0]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        // A target may have no regressions folder yet: none has crashed it.
        for (const std::filesystem::path &input : inputsIn(argv[i])) {
            std::ifstream file(input, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (!file.good() && !file.eof()) {
                std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
                return 1;
            }
            std::printf("%s\n", input.string().c_str());
            std::fflush(stdout); // named before it runs, in case it crashes
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    // No input at all means the folders were not found: the replay would prove nothing.
    return replayed > 0 ? 0 : 1;
}
