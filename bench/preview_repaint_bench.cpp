// Prints how long one repaint of the glyphsmith preview takes with the list
// 0-255: the first paint after a font is loaded (every glyph rendered through
// FreeType) and then repaints from the glyph cache, each onto an 800 x 600
// bitmap through the same painting code as the window. As in the window, the
// empty preview is painted once before any font is loaded: the first drawing
// of a process starts the toolkit's drawing up, which costs more than a whole
// preview, and is reported on its own. Needs an X display (Xvfb will do).
// Usage: preview_repaint_bench <font.ttf> [repaints]
#include "gui_rules.h"
#include "preview_painter.h"

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultRepaints = 200;
constexpr int kFontLoads = 21; // the font is loaded again for each first paint
const wxSize kCanvas(800, 600);

double paintMilliseconds(
    glyphsmith::PreviewPainter& painter, FontRasterizer& rasterizer, const CharacterList& codes, wxBitmap& target)
{
    const auto start = std::chrono::steady_clock::now();
    {
        wxMemoryDC dc(target);
        painter.paint(dc, kCanvas, rasterizer, codes);
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

void report(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%s: median %.2f ms, min %.2f ms, max %.2f ms (budget 16 ms)\n", what, times[times.size() / 2],
        times.front(), times.back());
}

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
    int OnRun() override;
};

int BenchApp::OnRun()
{
    if (argc < 2) {
        std::printf("usage: preview_repaint_bench <font.ttf> [repaints]\n");
        return 1;
    }
    const int repaints = argc > 2 ? std::max(1, std::atoi(argv[2].c_str())) : kDefaultRepaints;
    const std::string font(argv[1].mb_str());
    const CharacterList codes = glyphsmith::parseCharList("0-255");
    const CharacterList reversed(codes.rbegin(), codes.rend());
    FontRasterizer rasterizer;
    glyphsmith::PreviewPainter painter;
    wxBitmap target(kCanvas.x, kCanvas.y, 24);
    const double startUp = paintMilliseconds(painter, rasterizer, codes, target);
    std::vector<double> firsts;
    try {
        for (int load = 0; load < kFontLoads; ++load) {
            rasterizer.loadFont(font);
            painter.forgetFont();
            firsts.push_back(paintMilliseconds(painter, rasterizer, codes, target));
        }
    } catch (const FTException& error) {
        std::printf("FreeType: %s\n", error.what());
        return 1;
    }
    std::vector<double> exposes;
    std::vector<double> newLists;
    for (int i = 0; i < repaints; ++i) {
        // Alternating lists make the first paint of each pair build its image again.
        const CharacterList& list = i % 2 ? codes : reversed;
        newLists.push_back(paintMilliseconds(painter, rasterizer, list, target));
        exposes.push_back(paintMilliseconds(painter, rasterizer, list, target));
    }
    std::printf("preview repaint, list 0-255, 800x600, %d repaints each\n", repaints);
    std::printf("paint of the empty preview at start-up (the toolkit's drawing starts): %.2f ms\n", startUp);
    report("first paint after loading the font (renders every glyph)", firsts);
    report("repaint after a new list (cached glyphs, new image)", newLists);
    report("repaint of an unchanged preview (expose)", exposes);
    return 0;
}

} // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv)
{
    return wxEntry(argc, argv);
}
