#include "font_rasterizer.h"
#include "font_source_text.h"
#include "missing_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class FontSourceWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string fontPath = testFontPath();
        if (fontPath.empty())
            SKIP_FOR_MISSING("DejaVuSans is not installed (Debian package fonts-dejavu-core)");
        ASSERT_FALSE(folder.path().empty());
        rasterizer.loadFont(fontPath);
    }

    // Exports `codes` as "<name>" and returns the source text ("" on failure).
    std::string exported(const CharacterList& codes, const std::string& given = "f")
    {
        std::string name = given;
        if (!rasterizer.writeFontSource(name, folder.prefix(), 16, codes))
            return "";
        return readFileBytes(folder.prefix() + name + ".cpp");
    }

    bool noFilesLeft(const std::string& name) const
    {
        return !fileExists(folder.prefix() + name + ".cpp") && !fileExists(folder.prefix() + name + ".h");
    }

    TemporaryDirectory folder;
    FontRasterizer rasterizer;
};

TEST_F(FontSourceWriterTest, EmitsEachFontCodeOnceAtItsFirstPlace)
{
    const std::string distinct = exported({65, 86, 46});
    ASSERT_NE(distinct, "");
    EXPECT_EQ(exported({65, 86, 65, 46, 86, 65}), distinct);
    EXPECT_EQ(exported({65, 300, 86, 0x10041, 46}), distinct);
    EXPECT_NE(distinct.find("static const char char_86_ktp[] = {65, "), std::string::npos);
    EXPECT_LT(distinct.find("char_65_0 ="), distinct.find("char_86_0 ="));
    EXPECT_LT(distinct.find("char_86_0 ="), distinct.find("char_46_0 ="));
}

TEST_F(FontSourceWriterTest, EmptyListGivesFontsWithoutGlyphs)
{
    std::string expected;
    appendIncludeLine(expected, "empty_16.h");
    rasterizer.setPixelSize(16);
    appendFontRecords(expected, "empty_16", rasterizer.sizeMetrics(), PresenceTable{});
    EXPECT_EQ(exported({}, "empty_16"), expected);
    EXPECT_EQ(readFileBytes(folder.prefix() + "empty_16.h"), headerText("empty_16"));
}

TEST_F(FontSourceWriterTest, SanitizesTheNameInPlace)
{
    std::string name = "my font.x";
    ASSERT_TRUE(rasterizer.writeFontSource(name, folder.prefix(), 16, {65}));
    EXPECT_EQ(name, "my_font_x");
    EXPECT_TRUE(fileExists(folder.prefix() + "my_font_x.cpp"));
    EXPECT_NE(readFileBytes(folder.prefix() + "my_font_x.h").find("#ifndef _FONT_MY_FONT_X_H\n"), std::string::npos);
}

TEST_F(FontSourceWriterTest, FailuresLeaveNoFiles)
{
    std::string name = "f";
    EXPECT_FALSE(rasterizer.writeFontSource(name, folder.prefix() + "missing/", 16, {65}));
    EXPECT_EQ(rasterizer.failedOutputPath(), folder.prefix() + "missing/f.cpp");

    ASSERT_EQ(mkdir((folder.prefix() + "dir.h").c_str(), 0755), 0);
    name = "dir";
    EXPECT_FALSE(rasterizer.writeFontSource(name, folder.prefix(), 16, {65}));
    EXPECT_EQ(rasterizer.failedOutputPath(), folder.prefix() + "dir.h");
    EXPECT_FALSE(fileExists(folder.prefix() + "dir.cpp"));

    if (!fileExists("/dev/full"))
        SKIP_FOR_MISSING("no /dev/full");
    // A full disk while the source is written, then while the header is.
    ASSERT_EQ(symlink("/dev/full", (folder.prefix() + "src.cpp").c_str()), 0);
    name = "src";
    EXPECT_FALSE(rasterizer.writeFontSource(name, folder.prefix(), 16, {65}));
    EXPECT_EQ(rasterizer.failedOutputPath(), folder.prefix() + "src.cpp");
    EXPECT_FALSE(fileExists(folder.prefix() + "src.h"));

    ASSERT_EQ(symlink("/dev/full", (folder.prefix() + "hdr.h").c_str()), 0);
    name = "hdr";
    EXPECT_FALSE(rasterizer.writeFontSource(name, folder.prefix(), 16, {65}));
    EXPECT_EQ(rasterizer.failedOutputPath(), folder.prefix() + "hdr.h");
    EXPECT_FALSE(fileExists(folder.prefix() + "hdr.cpp"));

    name = "ok";
    EXPECT_TRUE(rasterizer.writeFontSource(name, folder.prefix(), 16, {65}));
    EXPECT_EQ(rasterizer.failedOutputPath(), "");
    EXPECT_TRUE(noFilesLeft("f"));
}

TEST_F(FontSourceWriterTest, RenderingFailureRemovesThePartialSource)
{
    const std::string broken = folder.prefix() + "broken.ttf";
    ASSERT_TRUE(writeFontWithBrokenOutlines(testFontPath(), broken));
    rasterizer.loadFont(broken);
    std::string name = "partial";
    try {
        rasterizer.writeFontSource(name, folder.prefix(), 16, {32, 65});
        FAIL() << "no exception";
    } catch (const FTException& error) {
        EXPECT_STREQ(error.what(), "cannot load glyph");
    }
    EXPECT_TRUE(noFilesLeft("partial"));
}

} // namespace
