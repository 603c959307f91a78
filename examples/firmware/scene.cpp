#include "scene.h"

namespace {

// Scratch surfaces the scene builds at run time, in the framebuffer's
// rotation: a 48 x 32 RGB565 panel, an ARGB4444 copy of the badge, and a
// 32 x 16 I8 strip with a palette of four colours.
constexpr int32_t kPanelWidth = 48;
constexpr int32_t kPanelHeight = 32;
constexpr int32_t kStripWidth = 32;
constexpr int32_t kStripHeight = 16;
constexpr int32_t kBadgeMaxPixels = 64 * 64;

uint16_t panelPixels[kPanelWidth * kPanelHeight];
uint16_t badge4444Pixels[kBadgeMaxPixels];
uint8_t stripPixels[kStripWidth * kStripHeight];

// Palette entries B, G, R.
const uint8_t kStripPalette[4 * 3] = {0x20, 0x20, 0xC0, 0x20, 0xC0, 0x20, 0xC0, 0x20, 0x20, 0xF0, 0xF0, 0xF0};

// Keeps the first failure of a sequence of operations.
struct Results {
    int first = DS_DRAW_OK;
    void add(int result)
    {
        if (first == DS_DRAW_OK)
            first = result;
    }
};

// The RGB565 panel: the logo converted from RGB888, a frame, and one colour
// of the logo's background replaced.
void drawPanel(DsSurface& panel, const DsSurface& logo, Results& results)
{
    results.add(panel.fill(panel.logicalArea(), 0xFF102030));
    results.add(panel.fill(DsRect(2, 2, kPanelWidth - 4, kPanelHeight - 4), 0xFFF0F0F0));
    results.add(panel.blit(logo, 4, 4));
    results.add(panel.replaceColor(0xFFF0F0F0, 0xFF40C040));
}

// The I8 strip: four bands of indices 0 to 3 and a diagonal of index 3.
void drawStrip(DsSurface& strip, Results& results)
{
    for (int32_t band = 0; band < 4; ++band)
        results.add(strip.fill(DsRect(band * 8, 0, 8, kStripHeight), uint32_t(band)));
    for (int32_t i = 0; i < kStripHeight; ++i)
        strip.setPixel(i * 2, i, 3);
}

// Text, clipped and unclipped, with the fonts of the framebuffer's rotation:
// a UTF-8 label with the packed font, centred on its width.
void drawTexts(DsSurface& framebuffer, const ds_bitmap_font_t& font, const ds_packed_font_t& label, Results& results)
{
    const char* greeting = "Gr\xC3\xBC\xC3\x9F"
                           "e: 20 \xC2\xB0"
                           "C, 5 \xE2\x82\xAC \xE2\x80\x94 "
                           "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    const int32_t left = (kSceneWidth - dsTextWidth(label, greeting)) / 2;
    results.add(dsDrawText(framebuffer, label, left, 130, greeting, 0xFFFFD040));
    results.add(dsDrawText(framebuffer, font, 8, 150, "Corvane on a Cortex-M4", 0xFFFFFFFF));
    results.add(dsDrawText(framebuffer, font, 8, 172, "AVATAR To, kerned", 0xC0FFD040));
    framebuffer.setClip(DsRect(180, 180, 100, 14));
    results.add(framebuffer.fill(DsRect(170, 170, 200, 60), 0xFF404080));
    results.add(dsDrawText(framebuffer, font, 176, 196, "clipped text", 0xFFFFFFFF));
    framebuffer.setClip(framebuffer.logicalArea());
}

} // namespace

int drawScene(DsSurface& framebuffer, const SceneAssets& assets)
{
    const DsSurface logo(assets.logo, assets.logoSize), badge(assets.badge, assets.badgeSize),
        mask(assets.mask, assets.maskSize);
    if (!logo.isValid() || !badge.isValid() || !mask.isValid())
        return DS_DRAW_INVALID_SURFACE;
    const int32_t rotation = framebuffer.rotation();
    if (int64_t(badge.logicalWidth()) * badge.logicalHeight() > kBadgeMaxPixels)
        return DS_DRAW_INVALID_SURFACE;

    Results results;
    // Background and two bands, one partly outside the framebuffer.
    results.add(framebuffer.fill(framebuffer.logicalArea(), 0xFF203040));
    results.add(framebuffer.fill(DsRect(0, 200, kSceneWidth, 40), 0xFFE0E0E0));
    results.add(framebuffer.fill(DsRect(-20, 100, 60, 30), 0xFF808000));

    DsSurface panel(kPanelWidth, kPanelHeight, rotation, RGB565, reinterpret_cast<uint8_t*>(panelPixels),
        dsPackedPitch(kPanelWidth, kPanelHeight, rotation, RGB565), sizeof panelPixels);
    drawPanel(panel, logo, results);
    results.add(framebuffer.blit(panel, 8, 8));

    // The logo straight from RGB888, once whole and once partly off each edge.
    results.add(framebuffer.blit(logo, 64, 8));
    results.add(framebuffer.blit(logo, -6, 228));
    results.add(framebuffer.blit(logo, DsRect(4, 4, 100, 100), 310, -3));

    // The badge: copied, blended whole and at half opacity, and through ARGB4444.
    results.add(framebuffer.blit(badge, 96, 8));
    results.add(framebuffer.blend(badge, 140, 8));
    results.add(framebuffer.blend(badge, 184, 8, 128));
    DsSurface badge4444(badge.logicalWidth(), badge.logicalHeight(), rotation, ARGB4444,
        reinterpret_cast<uint8_t*>(badge4444Pixels),
        dsPackedPitch(badge.logicalWidth(), badge.logicalHeight(), rotation, ARGB4444), sizeof badge4444Pixels);
    results.add(badge4444.blit(badge, 0, 0));
    results.add(badge4444.replaceAlpha(mask, -4, -2));
    results.add(framebuffer.blend(badge4444, 228, 8, 200));

    // Coverage through the A8 mask in a colour, twice overlapping.
    results.add(framebuffer.blendMask(mask, 8, 60, 0xFFFF8000));
    results.add(framebuffer.blendMask(mask, 28, 70, 0x80FFFFFF, 160));

    DsSurface strip(kStripWidth, kStripHeight, rotation, I8, stripPixels,
        dsPackedPitch(kStripWidth, kStripHeight, rotation, I8), sizeof stripPixels);
    strip.usePalette(kStripPalette, 4, false);
    drawStrip(strip, results);
    results.add(framebuffer.blit(strip, 96, 60));

    drawTexts(framebuffer, assets.font, assets.label, results);
    return results.first;
}
