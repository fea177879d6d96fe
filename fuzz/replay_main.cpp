// Runs a fuzz target over kept inputs without libFuzzer, so the seeds and the inputs that
// once crashed are replayed as ordinary tests by any compiler (and under the sanitizers).
//   replay_<target> FILE_OR_FOLDER...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return 1;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::printf("%s (%zu bytes)\n", file.string().c_str(), bytes.size());
    std::fflush(stdout); // the name stays on record if the input crashes
    // A copy of exactly the input's size, so reads past its end are caught.
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    static const std::uint8_t none = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &none : data.data(), data.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int failures = 0;
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            std::vector<std::filesystem::path> files;
            for (const auto& e : std::filesystem::directory_iterator(p))
                if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                    files.push_back(e.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                failures += replay(f);
                ++count;
            }
        } else if (std::filesystem::exists(p)) {
            failures += replay(p);
            ++count;
        }
    }
    std::printf("%d input(s) replayed\n", count);
    return failures == 0 ? 0 : 1;
}
