// The PngSuite images: each valid one decodes as libpng decodes it, each
// damaged one is refused.
#include "png_builder.h"
#include "png_decoder.h"
#include "png_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
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

// The suite names its damaged files with a leading 'x'; every other file is
// a valid PNG.
bool isDamaged(const std::string& name)
{
    return name[0] == 'x';
}

TEST(PngSuite, ValidFilesDecodeAsLibpngAndDamagedOnesAreRefused)
{
    const std::vector<std::string> names = suiteFiles();
    ASSERT_FALSE(names.empty()) << "no PngSuite images under " << kSuiteDir;
    size_t valid = 0, damaged = 0;
    for (const std::string& name : names) {
        const Bytes file = readSuiteFile(name);
        if (isDamaged(name)) {
            EXPECT_FALSE(decodeFile(file)) << name << " is damaged but decodes";
            EXPECT_FALSE(referenceSurface(file, false).decoded) << name << " is read by libpng";
            ++damaged;
            continue;
        }
        expectSurfaceMatchesReference(file, false, 0, name);
        ++valid;
    }
    EXPECT_EQ(valid, 161u) << "the suite's valid files";
    EXPECT_EQ(damaged, 14u) << "the suite's damaged files";
}

// Every greyscale image of the suite, of every depth and interlaced or not,
// as an alpha-only surface, and every valid image turned a quarter turn.
TEST(PngSuite, AlphaOnlyAndRotation)
{
    const std::vector<std::string> names = suiteFiles();
    ASSERT_FALSE(names.empty()) << "no PngSuite images under " << kSuiteDir;
    constexpr size_t kColorTypeOffset = 25;
    size_t grey = 0;
    for (const std::string& name : names) {
        if (isDamaged(name))
            continue;
        const Bytes file = readSuiteFile(name);
        expectSurfaceMatchesReference(file, false, 90, name + " turned");
        if (file.size() > kColorTypeOffset && file[kColorTypeOffset] == 0) {
            expectSurfaceMatchesReference(file, true, 270, name + " alpha only");
            ++grey;
        }
    }
    EXPECT_EQ(grey, 42u) << "the suite's valid greyscale files";
}

} // namespace
