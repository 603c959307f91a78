// Replays one saved input of a fuzz target through the target's own entry
// point, outside libFuzzer: the test passes when the target returns, and
// fails when it aborts or a sanitizer stops it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::puts("usage: replay <input file>");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::printf("cannot read '%s'\n", argv[1]);
        return 2;
    }
    const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return LLVMFuzzerTestOneInput(input.data(), input.size());
}
