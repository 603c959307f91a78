// The PngSuite images: each decodes as libpng decodes it, or is refused for
// a reason listed here.
#include "missing_data.h"
#include "png_builder.h"
#include "png_decoder.h"
#include "surface_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kSuiteDir = CORVANE_PNGSUITE_DIR;

std::vector<std::string> suiteFiles()
{
    return pngFilesIn(kSuiteDir);
}

Bytes readSuiteFile(const std::string& name)
{
    std::ifstream in(kSuiteDir + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Why an image of the suite is refused.
enum class Refusal {
    BitDepth,   // a bit depth other than 8: unsupported
    Interlaced, // Adam7 interlacing: unsupported
    Damaged,    // breaks the PNG format; libpng refuses it too
};

// Every refusal the decoder may make on the suite, by file name.
const std::map<Refusal, std::vector<std::string>> kRefusals = {
    {Refusal::BitDepth,
        {"basn0g01", "basn0g02", "basn0g04", "basn0g16", "basn2c16", "basn3p01", "basn3p02", "basn3p04", "basn4a16",
            "basn6a16", "bgan6a16", "bggn4a16", "bgyn6a16", "ch1n3p04", "cm0n0g04", "cm7n0g04", "cm9n0g04", "cs3n2c16",
            "ct0n0g04", "ct1n0g04", "cten0g04", "ctfn0g04", "ctgn0g04", "cthn0g04", "ctjn0g04", "ctzn0g04", "f99n0g04",
            "g03n0g16", "g03n3p04", "g04n0g16", "g04n3p04", "g05n0g16", "g05n3p04", "g07n0g16", "g07n3p04", "g10n0g16",
            "g10n3p04", "g25n0g16", "g25n3p04", "oi1n0g16", "oi1n2c16", "oi2n0g16", "oi2n2c16", "oi4n0g16", "oi4n2c16",
            "oi9n0g16", "oi9n2c16", "pp0n2c16", "ps1n2c16", "ps2n2c16", "s01n3p01", "s02n3p01", "s03n3p01", "s04n3p01",
            "s05n3p02", "s06n3p02", "s07n3p02", "s08n3p02", "s09n3p02", "s32n3p04", "s33n3p04", "s34n3p04", "s35n3p04",
            "s36n3p04", "s37n3p04", "s38n3p04", "s39n3p04", "s40n3p04", "tbbn0g04", "tbbn2c16", "tbgn2c16", "tbwn0g16",
            "tm3n3p02"}},
    {Refusal::Interlaced,
        {"basi0g01", "basi0g02", "basi0g04", "basi0g08", "basi0g16", "basi2c08", "basi2c16", "basi3p01", "basi3p02",
            "basi3p04", "basi3p08", "basi4a08", "basi4a16", "basi6a08", "basi6a16", "bgai4a08", "bgai4a16", "s01i3p01",
            "s02i3p01", "s03i3p01", "s04i3p01", "s05i3p02", "s06i3p02", "s07i3p02", "s08i3p02", "s09i3p02", "s32i3p04",
            "s33i3p04", "s34i3p04", "s35i3p04", "s36i3p04", "s37i3p04", "s38i3p04", "s39i3p04", "s40i3p04"}},
    {Refusal::Damaged,
        {"xc1n0g08", "xc9n2c08", "xcrn0g04", "xcsn0g01", "xd0n2c08", "xd3n2c08", "xd9n2c08", "xdtn0g01", "xhdn0g08",
            "xlfn0g04", "xs1n0g01", "xs2n0g01", "xs4n0g01", "xs7n0g01"}},
};

const Refusal* refusalFor(const std::string& stem)
{
    for (const auto& [reason, names] : kRefusals)
        if (std::find(names.begin(), names.end(), stem) != names.end())
            return &reason;
    return nullptr;
}

// Checks that a listed refusal holds: the header says so, or libpng agrees.
void expectRefusalHolds(const std::string& name, Refusal reason, const Bytes& file)
{
    constexpr size_t kDepthOffset = 24, kInterlaceOffset = 28;
    ASSERT_GT(file.size(), kInterlaceOffset) << name;
    if (reason == Refusal::BitDepth)
        EXPECT_NE(file[kDepthOffset], 8) << name;
    else if (reason == Refusal::Interlaced)
        EXPECT_EQ(file[kInterlaceOffset], 1) << name;
    else
        EXPECT_FALSE(referenceSurface(file, false).decoded) << name << " is read by libpng";
}

TEST(PngSuite, DecodesAsLibpngOrRefusesForANamedReason)
{
    const std::vector<std::string> names = suiteFiles();
    if (names.empty())
        SKIP_FOR_MISSING("no PngSuite images under " << kSuiteDir);
    size_t accepted = 0;
    for (const std::string& name : names) {
        const Bytes file = readSuiteFile(name);
        const Refusal* reason = refusalFor(name.substr(0, name.size() - 4));
        SurfacePtr surface = decodeFile(file);
        if (reason) {
            EXPECT_FALSE(surface) << name << " is listed as refused but decodes";
            expectRefusalHolds(name, *reason, file);
            continue;
        }
        EXPECT_TRUE(surface) << name << " is refused for no listed reason";
        expectSurfaceMatchesReference(file, false, 0, name);
        ++accepted;
    }
    EXPECT_GE(accepted, 50u) << "the suite's 8-bit images";
}

} // namespace
