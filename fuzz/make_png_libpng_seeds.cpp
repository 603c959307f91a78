// Writes the seed corpus of fuzz_png_libpng: every PngSuite image, once as
// it is and once turned with its CRCs rewritten, behind the request byte
// that the target reads first.
#include <dirent.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Request {
    const char* suffix; // added to the image's name
    unsigned char byte; // the request byte (png_fuzz_request.h)
};

constexpr Request kRequests[] = {{"", 0}, {"_turned_crcs_rewritten", 8 | 2}};

bool writeSeed(const std::string& path, unsigned char request, const std::vector<char>& png)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const bool written =
        out && std::fputc(request, out) != EOF && (png.empty() || std::fwrite(png.data(), png.size(), 1, out) == 1);
    return out && std::fclose(out) == 0 && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::puts("usage: make_png_libpng_seeds <corpus directory> <PngSuite directory>");
        return 1;
    }
    DIR* suite = opendir(argv[2]);
    if (!suite) {
        std::printf("cannot read the folder '%s'\n", argv[2]);
        return 1;
    }
    int written = 0;
    while (const dirent* entry = readdir(suite)) {
        const std::string name = entry->d_name;
        if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".png") != 0)
            continue;
        std::ifstream in(std::string(argv[2]) + "/" + name, std::ios::binary);
        const std::vector<char> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        for (const Request& request : kRequests) {
            const std::string path = std::string(argv[1]) + "/" + name.substr(0, name.size() - 4) + request.suffix;
            if (!writeSeed(path, request.byte, png)) {
                std::printf("cannot write seed file '%s'\n", path.c_str());
                closedir(suite);
                return 1;
            }
            ++written;
        }
    }
    closedir(suite);
    if (written == 0) {
        std::printf("no PNG images in '%s'\n", argv[2]);
        return 1;
    }
    return 0;
}
