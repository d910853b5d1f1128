// Runs a fuzz target once over every file it is given (folders are walked),
// without fuzzing: the corpus becomes a regression test for any compiler.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replay(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    failures += replay(entry.path());
                    ++inputs;
                }
            }
        } else {
            failures += replay(path);
            ++inputs;
        }
    }
    std::printf("replayed %zu inputs\n", inputs);
    // An empty corpus proves nothing: say so as a failure.
    return failures == 0 && inputs > 0 ? 0 : 1;
}
