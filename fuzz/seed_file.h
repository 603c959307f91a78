// Writing one seed file of a fuzz target's corpus.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Writes `size` bytes to `path`; on failure says so on standard output and
// returns false.
inline bool writeSeedFile(const std::string& path, const void* data, size_t size)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const bool written = out && std::fwrite(data, size, 1, out) == 1;
    if (!out || std::fclose(out) != 0 || !written) {
        std::printf("cannot write seed file '%s'\n", path.c_str());
        return false;
    }
    return true;
}
