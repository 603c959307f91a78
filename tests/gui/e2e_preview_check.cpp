// Helper of the glyphsmith end-to-end test. It reads screenshots (binary
// PPM, as ImageMagick's import writes them) and
//   locate <shot.ppm>                      prints "X Y CX CY SX SY": the
//       top-left of the one all-white 800 x 600 area (the empty preview), the
//       centre of the characters field, the tallest white run left of it,
//       and the top-left of the one all-white 800 x 200 area below the
//       preview (the empty view of the stored glyphs);
//   compare <shot.ppm> X Y <font> <first-last>
//       checks that the preview at (X, Y) shows the codes first..last as the
//       rasteriser renders them at 36 pixels, laid out in square cells of one
//       line height, each pixel blended at alpha 80 in the grey 255 - a;
//   stored <shot.ppm> SX SY <font> <first-last> <height>
//       checks that the view at (SX, SY) shows the codes first..last as the
//       export renders them at <height> pixels, composed as stored glyphs;
//       <height> 0 checks that the view is white.
// Exit status 0 on success, 1 with a one-line reason otherwise.
#include "font_glyph_set.h"
#include "font_rasterizer.h"
#include "stored_glyphs.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kCanvasWidth = 800;
constexpr int kCanvasHeight = 600;
constexpr int kStoredWidth = glyphsmith::kStoredViewWidth;
constexpr int kStoredHeight = glyphsmith::kStoredViewHeight;
constexpr int kGreyTolerance = 3; // rounding differences of the blend
constexpr double kLargestMismatchShare = 0.005;

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    int grey(int x, int y) const
    {
        const size_t at = (size_t(y) * width + x) * 3;
        return (rgb[at] + rgb[at + 1] + rgb[at + 2]) / 3;
    }
    bool white(int x, int y) const
    {
        const size_t at = (size_t(y) * width + x) * 3;
        return rgb[at] == 255 && rgb[at + 1] == 255 && rgb[at + 2] == 255;
    }
};

[[noreturn]] void fail(const std::string& reason)
{
    std::cout << "preview check: " << reason << "\n";
    std::exit(1);
}

Screenshot readPpm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Screenshot shot;
    in >> magic >> shot.width >> shot.height >> maxValue;
    in.get();
    if (!in || magic != "P6" || maxValue != 255 || shot.width <= 0 || shot.height <= 0 || shot.width > 16384 ||
        shot.height > 16384)
        fail("cannot read " + path);
    shot.rgb.resize(size_t(shot.width) * shot.height * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), std::streamsize(shot.rgb.size()));
    if (!in)
        fail("short screenshot " + path);
    return shot;
}

// Top-left corners of the all-white width x height areas of `shot` that
// begin at row `fromRow` or below.
std::vector<std::pair<int, int>> whiteAreas(const Screenshot& shot, int width, int height, int fromRow)
{
    // Summed counts of non-white pixels, so that each area costs O(1).
    const int w = shot.width, h = shot.height;
    std::vector<long> sums(size_t(w + 1) * (h + 1), 0);
    auto at = [&](int x, int y) -> long& { return sums[size_t(y) * (w + 1) + x]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            at(x + 1, y + 1) = !shot.white(x, y) + at(x, y + 1) + at(x + 1, y) - at(x, y);
    std::vector<std::pair<int, int>> found;
    for (int y = fromRow; y + height <= h; ++y)
        for (int x = 0; x + width <= w; ++x)
            if (at(x + width, y + height) - at(x, y + height) - at(x + width, y) + at(x, y) == 0)
                found.emplace_back(x, y);
    return found;
}

int locate(const std::string& path)
{
    const Screenshot shot = readPpm(path);
    const std::vector<std::pair<int, int>> found = whiteAreas(shot, kCanvasWidth, kCanvasHeight, 0);
    if (found.size() != 1)
        fail("expected one white 800x600 preview, found " + std::to_string(found.size()));
    const auto [canvasX, canvasY] = found[0];
    const std::vector<std::pair<int, int>> stored =
        whiteAreas(shot, kStoredWidth, kStoredHeight, canvasY + kCanvasHeight);
    if (stored.size() != 1)
        fail("expected one white view of the stored glyphs below the preview, found " + std::to_string(stored.size()));
    const int column = canvasX / 2;
    int bestStart = 0, bestLength = 0;
    for (int y = 0, run = 0; y < shot.height; ++y) {
        run = shot.white(column, y) ? run + 1 : 0;
        if (run > bestLength) {
            bestLength = run;
            bestStart = y - run + 1;
        }
    }
    if (bestLength < 50)
        fail("no characters field left of the preview");
    std::cout << canvasX << " " << canvasY << " " << column << " " << bestStart + bestLength / 2 << " "
              << stored[0].first << " " << stored[0].second << "\n";
    return 0;
}

// The preview as it must look: white, with every glyph point blended in.
std::vector<int> expectedPreview(const std::string& font, unsigned first, unsigned last)
{
    std::vector<int> grey(size_t(kCanvasWidth) * kCanvasHeight, 255);
    FontRasterizer rasterizer;
    rasterizer.loadFont(font);
    rasterizer.setPixelSize(36);
    const int line = rasterizer.lineHeight();
    int x = 0, y = line;
    for (unsigned code = first; code <= last; ++code) {
        RenderedGlyph glyph;
        rasterizer.renderGlyph(code, glyph);
        if (kCanvasWidth - x < line) {
            x = 0;
            y += line;
        }
        for (unsigned r = 0; r < glyph.bitmap.rows; ++r)
            for (unsigned c = 0; c < glyph.bitmap.width; ++c) {
                const int a = glyph.bitmap.buffer[r * glyph.bitmap.pitch + c];
                const int px = x + glyph.xoff + int(c), py = y - glyph.yoff + int(r);
                if (a == 0 || px < 0 || py < 0 || px >= kCanvasWidth || py >= kCanvasHeight)
                    continue;
                int& target = grey[size_t(py) * kCanvasWidth + px];
                target = ((255 - a) * 80 + target * 175 + 127) / 255;
            }
        x += line;
    }
    return grey;
}

int compare(const std::string& path, int canvasX, int canvasY, const std::string& font, const std::string& range)
{
    unsigned first = 0, last = 0;
    if (std::sscanf(range.c_str(), "%u-%u", &first, &last) != 2 || first > last || last > 0xFFFF)
        fail("bad range " + range);
    const Screenshot shot = readPpm(path);
    if (canvasX < 0 || canvasY < 0 || canvasX + kCanvasWidth > shot.width || canvasY + kCanvasHeight > shot.height)
        fail("preview outside the screenshot");
    const std::vector<int> expected = expectedPreview(font, first, last);
    long inked = 0, mismatched = 0;
    for (int y = 0; y < kCanvasHeight; ++y)
        for (int x = 0; x < kCanvasWidth; ++x) {
            const int want = expected[size_t(y) * kCanvasWidth + x];
            const int got = shot.grey(canvasX + x, canvasY + y);
            inked += want != 255;
            mismatched += std::abs(want - got) > kGreyTolerance;
        }
    std::cout << "preview check: " << inked << " inked pixels expected, " << mismatched << " pixels differ\n";
    if (inked == 0 || double(mismatched) > kLargestMismatchShare * double(inked))
        return 1;
    return 0;
}

// Codes first..last from "<first>-<last>"; fails for another text.
CharacterList codeRange(const std::string& range)
{
    unsigned first = 0, last = 0;
    if (std::sscanf(range.c_str(), "%u-%u", &first, &last) != 2 || first > last || last > 0xFFFF)
        fail("bad range " + range);
    CharacterList codes;
    for (unsigned code = first; code <= last; ++code)
        codes.push_back(code);
    return codes;
}

int compareStored(const std::string& path, int viewX, int viewY, const std::string& font, const std::string& range,
    uint32_t height)
{
    const Screenshot shot = readPpm(path);
    if (viewX < 0 || viewY < 0 || viewX + kStoredWidth > shot.width || viewY + kStoredHeight > shot.height)
        fail("stored view outside the screenshot");
    glyphsmith::PreviewImage expected(kStoredWidth, kStoredHeight);
    if (height != 0) {
        FontRasterizer rasterizer;
        rasterizer.loadFont(font);
        glyphsmith::composeStoredGlyphs(renderFontGlyphs(rasterizer, height, codeRange(range)), expected);
    }
    long inked = 0, mismatched = 0;
    for (int y = 0; y < kStoredHeight; ++y)
        for (int x = 0; x < kStoredWidth; ++x) {
            inked += expected.at(x, y) != 255;
            mismatched += std::abs(expected.at(x, y) - shot.grey(viewX + x, viewY + y)) > kGreyTolerance;
        }
    std::cout << "stored view check: " << inked << " inked pixels expected, " << mismatched << " pixels differ\n";
    return (height != 0 && inked == 0) || mismatched != 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 2 && args[0] == "locate")
            return locate(args[1]);
        if (args.size() == 6 && args[0] == "compare")
            return compare(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()), args[4], args[5]);
        if (args.size() == 7 && args[0] == "stored")
            return compareStored(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()), args[4], args[5],
                uint32_t(std::atoi(args[6].c_str())));
    } catch (const FTException& error) {
        fail(std::string("FreeType ") + error.what());
    }
    fail("usage: locate <shot.ppm> | compare <shot.ppm> X Y <font> <first-last> | "
         "stored <shot.ppm> SX SY <font> <first-last> <height>");
}
