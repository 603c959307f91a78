// Prints what a large font export costs: codes 0-255 at 256 pixels, split
// into FreeType rendering and formatting plus writing, and the bytes written.
//
// Usage: font_bench [font file]   (default: DejaVuSans as fc-match finds it)
#include "file_io.h"
#include "font_rasterizer.h"
#include "font_source_text.h"
#include "font_source_writer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kBenchHeight = 256;
constexpr uint32_t kBenchCodes = 256;
constexpr size_t kChunkBytes = 1 << 16; // as the exporter collects its text

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string defaultFont()
{
    std::string path;
    if (std::FILE* pipe = popen("fc-match -f '%{file}' DejaVuSans", "r")) {
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, pipe))
            path += buffer;
        pclose(pipe);
    }
    return path;
}

long long fileSize(const std::string& path)
{
    struct stat status { };
    return stat(path.c_str(), &status) == 0 ? (long long)status.st_size : -1;
}

// A rendered glyph with its own copy of the pixels.
struct KeptGlyph {
    RenderedGlyph glyph;
    std::vector<uint8_t> pixels;
};

// Renders every code, keeping copies of the bitmaps; returns the time spent in FreeType.
double renderAll(FontRasterizer& rasterizer, const CharacterList& codes, std::vector<KeptGlyph>& kept)
{
    kept.resize(codes.size());
    double renderMs = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        const Clock::time_point start = Clock::now();
        rasterizer.renderGlyph(codes[i], kept[i].glyph);
        renderMs += millisecondsSince(start);
        const GlyphBitmap& bitmap = kept[i].glyph.bitmap;
        if (bitmap.buffer) {
            kept[i].pixels.assign(bitmap.buffer, bitmap.buffer + size_t(bitmap.rows) * bitmap.pitch);
            kept[i].glyph.bitmap.buffer = kept[i].pixels.data();
        }
    }
    return renderMs;
}

std::vector<KerningPairs> kerningOfAll(const FontRasterizer& rasterizer, const CharacterList& codes)
{
    std::vector<KerningPairs> pairs(codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
        for (uint32_t prev : codes) {
            if (const int32_t delta = rasterizer.kerning(prev, codes[i]))
                pairs[i].push_back({uint8_t(prev), int8_t(delta)});
        }
    }
    return pairs;
}

struct FormatTimes {
    double totalMs = 0; // formatting and writing
    double writeMs = 0; // of which writing
    bool written = false;
};

// The same text and the same chunked writes as an export makes.
FormatTimes formatAndWrite(const FontRasterizer& rasterizer, const CharacterList& codes,
    const std::vector<KeptGlyph>& kept, const std::vector<KerningPairs>& pairs, const std::string& path)
{
    FormatTimes times;
    const Clock::time_point start = Clock::now();
    std::string text;
    PresenceTable present{};
    OutputFile output;
    bool written = output.create(path);
    appendIncludeLine(text, "bench.h");
    for (size_t i = 0; i < codes.size(); ++i) {
        present[codes[i]] = true;
        appendGlyph(text, codes[i], kept[i].glyph, pairs[i]);
        if (text.size() >= kChunkBytes || i + 1 == codes.size()) {
            if (i + 1 == codes.size())
                appendFontRecords(text, "bench", rasterizer.sizeMetrics(), present);
            const Clock::time_point writing = Clock::now();
            output.write(text);
            times.writeMs += millisecondsSince(writing);
            text.clear();
        }
    }
    const Clock::time_point committing = Clock::now();
    times.written = written && output.commit();
    times.writeMs += millisecondsSince(committing);
    times.totalMs = millisecondsSince(start);
    return times;
}

void measure(const std::string& font, const std::string& folder)
{
    CharacterList codes;
    for (uint32_t code = 0; code < kBenchCodes; ++code)
        codes.push_back(code);
    FontRasterizer rasterizer;
    rasterizer.loadFont(font);
    rasterizer.setPixelSize(kBenchHeight);

    std::vector<KeptGlyph> kept;
    const double renderMs = renderAll(rasterizer, codes, kept);
    Clock::time_point start = Clock::now();
    const std::vector<KerningPairs> pairs = kerningOfAll(rasterizer, codes);
    const double kerningMs = millisecondsSince(start);
    const FormatTimes format = formatAndWrite(rasterizer, codes, kept, pairs, folder + "formatted.cpp");

    std::string name = "bench_256";
    start = Clock::now();
    const bool exported = writeFontSource(renderFontGlyphs(rasterizer, kBenchHeight, codes), name, folder).empty();
    const double exportMs = millisecondsSince(start);

    std::printf("font:                          %s\n", font.c_str());
    std::printf("codes 0-255 at %u pixels\n", kBenchHeight);
    std::printf("rendering with FreeType:       %8.1f ms\n", renderMs);
    std::printf("kerning lookups (65536 pairs): %8.1f ms\n", kerningMs);
    std::printf("formatting and writing:        %8.1f ms%s\n", format.totalMs, format.written ? "" : " (write failed)");
    std::printf("  of which writing:            %8.1f ms\n", format.writeMs);
    std::printf("whole writeFontSource:         %8.1f ms%s\n", exportMs, exported ? "" : " (failed)");
    std::printf("bytes written:                 %lld (.cpp) + %lld (.h)\n", fileSize(folder + name + ".cpp"),
        fileSize(folder + name + ".h"));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string font = argc > 1 ? argv[1] : defaultFont();
    char pattern[] = "/tmp/font_bench_XXXXXX";
    if (font.empty() || !mkdtemp(pattern)) {
        std::puts("font_bench: no font or no scratch folder");
        return 1;
    }
    const std::string folder = std::string(pattern) + "/";
    try {
        measure(font, folder);
    } catch (const FTException& error) {
        std::printf("font_bench: FreeType %s\n", error.what());
    }
    std::system(("rm -rf '" + folder + "'").c_str());
    return 0;
}
