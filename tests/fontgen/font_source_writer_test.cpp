#include "font_rasterizer.h"
#include "font_source_text.h"
#include "font_source_writer.h"
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

    // Renders `codes` at 16 pixels and writes them as "<name>" into the
    // folder (or `dir` below it); returns the path that failed, "" on success.
    std::string written(const CharacterList& codes, const std::string& name, const std::string& dir = "")
    {
        return writeFontSource(renderFontGlyphs(rasterizer, 16, codes), name, folder.prefix() + dir);
    }

    // Exports `codes` as "<name>" and returns the source text ("" on failure).
    std::string exported(const CharacterList& codes, const std::string& name = "f")
    {
        if (!written(codes, name).empty())
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

TEST_F(FontSourceWriterTest, SanitizedNameNamesFilesAndGuard)
{
    std::string name = "my font.x";
    sanitizeFontName(name);
    EXPECT_EQ(name, "my_font_x");
    ASSERT_EQ(written({65}, name), "");
    EXPECT_TRUE(fileExists(folder.prefix() + "my_font_x.cpp"));
    EXPECT_NE(readFileBytes(folder.prefix() + "my_font_x.h").find("#ifndef _FONT_MY_FONT_X_H\n"), std::string::npos);
}

TEST_F(FontSourceWriterTest, FailuresLeaveNoFiles)
{
    EXPECT_EQ(written({65}, "f", "missing/"), folder.prefix() + "missing/f.cpp");

    ASSERT_EQ(mkdir((folder.prefix() + "dir.h").c_str(), 0755), 0);
    EXPECT_EQ(written({65}, "dir"), folder.prefix() + "dir.h");
    EXPECT_FALSE(fileExists(folder.prefix() + "dir.cpp"));

    if (!fileExists("/dev/full"))
        SKIP_FOR_MISSING("no /dev/full");
    // A full disk while the source is written, then while the header is.
    ASSERT_EQ(symlink("/dev/full", (folder.prefix() + "src.cpp").c_str()), 0);
    EXPECT_EQ(written({65}, "src"), folder.prefix() + "src.cpp");
    EXPECT_FALSE(fileExists(folder.prefix() + "src.h"));

    ASSERT_EQ(symlink("/dev/full", (folder.prefix() + "hdr.h").c_str()), 0);
    EXPECT_EQ(written({65}, "hdr"), folder.prefix() + "hdr.h");
    EXPECT_FALSE(fileExists(folder.prefix() + "hdr.cpp"));

    EXPECT_EQ(written({65}, "ok"), "");
    EXPECT_TRUE(noFilesLeft("f"));
}

TEST_F(FontSourceWriterTest, RenderingFailureRemovesThePartialSource)
{
    const std::string broken = folder.prefix() + "broken.ttf";
    ASSERT_TRUE(writeFontWithBrokenOutlines(testFontPath(), broken));
    rasterizer.loadFont(broken);
    try {
        written({32, 65}, "partial");
        FAIL() << "no exception";
    } catch (const FTException& error) {
        EXPECT_STREQ(error.what(), "cannot load glyph");
    }
    EXPECT_TRUE(noFilesLeft("partial"));
}

} // namespace
