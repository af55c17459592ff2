// Runs the fuzz target once on every file named on the command line, without libFuzzer:
// this is how the seed corpus runs as ordinary tests in every build.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::FILE* file = std::fopen(argv[i], "rb");
        if (!file) {
            std::fprintf(stderr, "%s: cannot open\n", argv[i]);
            return 1;
        }
        std::vector<std::uint8_t> bytes;
        std::uint8_t piece[4096];
        std::size_t got;
        while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) {
            bytes.insert(bytes.end(), piece, piece + got);
        }
        std::fclose(file);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::printf("%s: %zu bytes, done\n", argv[i], bytes.size());
    }
    return 0;
}
