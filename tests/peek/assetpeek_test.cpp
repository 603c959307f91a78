// Transcripts of the real assetpeek binary: whole standard output, exit
// status, the picture written, and no output left behind by a failed run.
#include "peek_check.h"
#include "run_program.h"
#include "tool_entries.h"
#include "tool_transcript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

namespace {

const ToolTranscript kTranscript = {toolBanner("Corvane Asset Viewer"),
    "\n\nUSAGE: assetpeek [options]\n"
    "where [options] can be any of the following:\n\n"
    "\n --help                            -  Print this help screen\n"
    "\n --silent                          -  Print minimal information on the screen (useful for running from "
    "scripts)\n"
    "\n --surface <surface file>          -  Input surface file\n"
    "\n --upright                         -  Undo the surface's stored rotation\n"
    "\n --palette <palette file>          -  Draw an I8 surface in the palette's colours\n"
    "\n --font <font source .cpp>         -  Input font source file\n"
    "\n --text <text>                     -  Text to draw with the font (UTF-8)\n"
    "\n --rotation <0 | 90 | 180 | 270>   -  Specify the font rotation\n"
    "\n --codepage <name>                 -  Code page the font was exported with\n"
    "\n --chars <range>                   -  Character list the font was exported with\n"
    "\n --output <picture.png>            -  Output PNG picture\n"};

ProgramResult assetpeek(const std::vector<std::string>& arguments)
{
    return runProgram(ASSETPEEK_PATH, arguments);
}

std::string success(const std::string& picture, uint32_t width, uint32_t height)
{
    return kTranscript.success(
        "Generated picture '" + picture + "', " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
}

std::string littleEndianWords(std::initializer_list<uint32_t> words)
{
    std::string bytes;
    for (uint32_t word : words)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(char(word >> shift));
    return bytes;
}

class Assetpeek : public testing::Test {
protected:
    void SetUp() override
    {
        // 3 x 2 RGB888 stored at a quarter turn: 2 pixels a row, 3 rows, pitch 6.
        surfaceBytes = littleEndianWords({90, 1, 2, 3, 6}) +
            std::string("\x01\x02\x03\x04\x05\x06"
                        "\x07\x08\x09\x0A\x0B\x0C"
                        "\x0D\x0E\x0F\x10\x11\x12",
                18) +
            std::string(2, '\0');
        writeFileBytes(surface, surfaceBytes);
        writeFileBytes(font, smallFontSource());
        // 3 x 1 I8 at 270: indices 0, 2, 1 stored top down; two palette entries.
        writeFileBytes(indexed, littleEndianWords({270, 5, 1, 3, 1}) + std::string("\0\x02\x01\0", 4));
        paletteBytes = littleEndianWords({2}) + "\x10\x20\x30\x40\x50\x60\x70\x80";
        writeFileBytes(palette, paletteBytes);
    }

    // The font source of `lines` with each of `removals` (0-based) left out
    // in turn is refused, at the removed line's place or after it, and no
    // picture is written. Hundreds of runs: assetpeek's entry function in
    // this process.
    void expectRefusedWithoutEach(const std::vector<std::string>& lines, const std::vector<size_t>& removals)
    {
        const std::string damaged = directory.file("damaged.cpp");
        for (size_t removed : removals) {
            std::string text;
            for (size_t i = 0; i < lines.size(); ++i)
                if (i != removed)
                    text += lines[i] + "\n";
            writeFileBytes(damaged, text);
            const ProgramResult result =
                runEntryFunction(assetpeek_main, "assetpeek", {"--font", damaged, "--text", "A", "--output", picture});
            const std::string prefix = kTranscript.banner + "\n\nERROR: invalid font source '" + damaged + "' at line ";
            ASSERT_EQ(result.output.substr(0, prefix.size()), prefix) << "line " << removed + 1 << " removed";
            EXPECT_GE(std::stoul(result.output.substr(prefix.size())), removed + 1);
            EXPECT_EQ(result.status, 1);
            EXPECT_FALSE(fileExists(picture));
        }
    }

    void expectFailure(const std::vector<std::string>& arguments, const std::string& output)
    {
        const ProgramResult result = assetpeek(arguments);
        EXPECT_EQ(result.output, output);
        EXPECT_EQ(result.status, 1) << output;
        EXPECT_FALSE(fileExists(picture)) << output << ": output left behind";
    }

    TemporaryDirectory directory;
    const std::string surface = directory.file("s.srf");
    const std::string font = directory.file("tiny_16.cpp");
    const std::string picture = directory.file("out.png");
    const std::string indexed = directory.file("i8.srf"), palette = directory.file("p.pal");
    std::string surfaceBytes, paletteBytes;
};

TEST_F(Assetpeek, HelpPrintsTheUsageListing)
{
    for (const std::vector<std::string>& arguments :
        {std::vector<std::string>{"--help"}, {"--surface", "x", "--font", "y", "--help"}}) {
        const ProgramResult result = assetpeek(arguments);
        EXPECT_EQ(result.output, kTranscript.banner + kTranscript.usage + kClosingLine);
        EXPECT_EQ(result.status, 0);
    }
}

TEST_F(Assetpeek, CommandLineErrors)
{
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{}, "missing --surface or --font"},
        {{"--output", "o.png"}, "missing --surface or --font"},
        {{"--surface"}, "'--surface' missing value"},
        {{"--surface", "s", "--font", "f", "--output", "o"}, "'--font' cannot be used with --surface"},
        {{"--surface", "s", "--text", "A", "--output", "o"}, "'--text' can only be used with --font"},
        {{"--surface", "s", "--rotation", "90", "--output", "o"}, "'--rotation' can only be used with --font"},
        {{"--font", "f", "--upright", "--text", "A", "--output", "o"}, "'--upright' can only be used with --surface"},
        {{"--font", "f", "--palette", "p", "--text", "A", "--output", "o"},
            "'--palette' can only be used with --surface"},
        {{"--surface", "s", "--palette", "--output", "o"}, "'--palette' missing value"},
        {{"--font", "f", "--output", "o"}, "'--text' missing text"},
        {{"--font", "f", "--text", "\xC8", "--output", "o"}, "'--text' invalid UTF-8 text"},
        {{"--font", "f", "--text", "A", "--rotation", "45", "--output", "o"}, "'--rotation' invalid rotation"},
        {{"--font", "f", "--text", "A", "--rotation", "090", "--output", "o"}, "'--rotation' invalid rotation"},
        {{"--font", "f", "--text", "A", "--rotation", "-90", "--output", "o"}, "'--rotation' missing value"},
        {{"--font", "f", "--text", "A", "--rotation", "0", "--rotation", "0", "--output", "o"},
            "'--rotation' duplicate option"},
        {{"--surface", "s"}, "'--output' missing output file"},
        {{"--surface", "s", "--upright", "--upright", "--output", "o"}, "'--upright' duplicate option"},
        {{"--surface", "s", "--output", "o", "stray"}, "invalid argument stray"},
        {{"--surface", "s", "--output", "o", "--image", "i"}, "invalid argument --image"},
        {{"--surface", "s", "--codepage", "CP1251", "--output", "o"}, "'--codepage' can only be used with --font"},
        {{"--surface", "s", "--chars", "65", "--output", "o"}, "'--chars' can only be used with --font"},
        {{"--font", "f", "--text", "A", "--codepage", "CP0", "--output", "o"}, "'--codepage' unknown code page 'CP0'"},
        {{"--font", "f", "--text", "A", "--chars", "65=Z", "--output", "o"}, "'--chars' invalid mapping '65=Z'"},
        {{"--font", "f", "--text", "A", "--chars", "--output", "o"}, "'--chars' missing value"},
        {{"--font", "f", "--text", "A", "--chars", "", "--output", "o"}, "'--chars' missing value"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = assetpeek(c.arguments);
        EXPECT_EQ(result.output, kTranscript.usageError(c.error)) << c.error;
        EXPECT_EQ(result.status, 1) << c.error;
    }
}

TEST_F(Assetpeek, RunErrorsLeaveNoOutputFile)
{
    const std::string missing = directory.file("missing.srf"), empty = directory.file("empty.srf");
    const std::string mode6 = directory.file("mode6.srf"), badOutput = directory.file("no/dir/out.png");
    writeFileBytes(empty, "");
    writeFileBytes(mode6, surfaceBytes.substr(0, 4) + littleEndianWords({6}) + surfaceBytes.substr(8));
    const std::string shortPalette = directory.file("short.pal"), noEntries = directory.file("none.pal");
    const std::string longPalette = directory.file("long.pal");
    writeFileBytes(shortPalette, paletteBytes.substr(0, paletteBytes.size() - 1));
    writeFileBytes(noEntries, littleEndianWords({0}));
    writeFileBytes(longPalette, paletteBytes + "\x01\x02\x03\x04");
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"--surface", missing, "--output", picture}, "cannot open input file '" + missing + "'"},
        {{"--font", missing, "--text", "A", "--output", picture}, "cannot open input file '" + missing + "'"},
        {{"--surface", surface, "--output", badOutput}, "cannot create output file '" + badOutput + "'"},
        {{"--surface", empty, "--output", picture}, "cannot read input file '" + empty + "'"},
        {{"--surface", font, "--output", picture}, "invalid surface file '" + font + "'"},
        {{"--surface", mode6, "--output", picture}, "unsupported colour mode 6"},
        {{"--font", surface, "--text", "A", "--output", picture}, "invalid font source '" + surface + "' at line 1"},
        {{"--font", font, "--text", "AB", "--output", picture}, "character 66 is not in the font"},
        {{"--font", font, "--text", "A\xE2\x82\xAC", "--rotation", "90", "--output", picture},
            "character 8364 is not in the font"},
        {{"--font", font, "--text", "A\xD0\x91", "--codepage", "CP1251", "--output", picture},
            "character U+0411 is not in the font"},
        {{"--font", font, "--text", "A\xE2\x98\x83", "--codepage", "CP1251", "--output", picture},
            "character U+2603 is not in the font"},
        {{"--font", font, "--text", "A", "--chars", "65=U+42", "--output", picture},
            "character U+0041 is not in the font"},
        {{"--surface", surface, "--output", "/dev/full"}, "cannot write output file '/dev/full'"},
        {{"--surface", surface, "--palette", palette, "--output", picture},
            "--palette needs an I8 surface, not colour mode 1"},
        {{"--surface", indexed, "--palette", missing, "--output", picture}, "cannot open input file '" + missing + "'"},
        {{"--surface", indexed, "--palette", empty, "--output", picture}, "cannot read input file '" + empty + "'"},
        {{"--surface", indexed, "--palette", shortPalette, "--output", picture},
            "invalid palette file '" + shortPalette + "'"},
        {{"--surface", indexed, "--palette", noEntries, "--output", picture},
            "invalid palette file '" + noEntries + "'"},
        {{"--surface", indexed, "--palette", longPalette, "--output", picture},
            "invalid palette file '" + longPalette + "'"},
        {{"--font", font, "--text", "A", "--output", "/dev/full"}, "cannot write output file '/dev/full'"},
    };
    for (const auto& c : cases)
        expectFailure(c.arguments, kTranscript.runtimeError(c.error));
}

// --silent leaves out the banner and the closing line: the result line stands
// alone on its line; usage listings and errors are printed as ever.
TEST_F(Assetpeek, SilentRunsPrintTheResultLineOrTheErrorAlone)
{
    const std::string missing = directory.file("missing.srf");
    const struct {
        std::vector<std::string> arguments;
        std::string output;
        int status;
    } cases[] = {
        {{"--silent", "--surface", surface, "--output", picture}, "Generated picture '" + picture + "', 2 x 3 pixels\n",
            0},
        {{"--font", font, "--text", "A", "--output", picture, "--silent"},
            "Generated picture '" + picture + "', 4 x 12 pixels\n", 0},
        {{"--help", "--silent"}, kTranscript.usage, 0},
        {{"--silent", "--output", picture}, kTranscript.usage + "\n\nERROR: missing --surface or --font\n\n", 1},
        {{"--silent", "--silent", "--help"}, kTranscript.usage + "\n\nERROR: '--silent' duplicate option\n\n", 1},
        {{"--silent", "--surface", missing, "--output", picture},
            "\n\nERROR: cannot open input file '" + missing + "'\n\n", 1},
    };
    for (const auto& c : cases) {
        std::remove(picture.c_str());
        const ProgramResult result = assetpeek(c.arguments);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.status, c.status) << c.output;
        EXPECT_EQ(fileExists(picture), c.output.rfind("Generated", 0) == 0) << c.output;
    }
}

TEST_F(Assetpeek, DrawsASurfaceAsStoredAndUpright)
{
    // Stored rows are B, G, R: the picture is R, G, B.
    const Bytes stored = {
        0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0x0C, 0x0B, 0x0A, 0x0F, 0x0E, 0x0D, 0x12, 0x11, 0x10};
    ProgramResult result = assetpeek({"--surface", surface, "--output", picture});
    EXPECT_EQ(result.output, success(picture, 2, 3));
    EXPECT_EQ(result.status, 0);
    LibpngImage image = readPicture(picture);
    EXPECT_EQ(image.colorType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(image.rows, stored);

    writeFileBytes(picture, std::string(100, 'x')); // replaced whole
    result = assetpeek({"--output", picture, "--upright", "--surface", surface});
    EXPECT_EQ(result.output, success(picture, 3, 2));
    EXPECT_EQ(result.status, 0);
    image = readPicture(picture);
    EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(3u, 2u));
    // Logical (x, y) is stored at column y, row 2 - x.
    EXPECT_EQ(image.rows,
        Bytes({0x0F, 0x0E, 0x0D, 0x09, 0x08, 0x07, 0x03, 0x02, 0x01, 0x12, 0x11, 0x10, 0x0C, 0x0B, 0x0A, 0x06, 0x05,
            0x04}));
}

// The palette file's B, G, R, A entries give the colours; an index past
// the palette is opaque black.
TEST_F(Assetpeek, DrawsAnI8SurfaceInItsPalette)
{
    const ProgramResult result =
        assetpeek({"--surface", indexed, "--palette", palette, "--upright", "--output", picture});
    EXPECT_EQ(result.output, success(picture, 3, 1));
    EXPECT_EQ(result.status, 0);
    const LibpngImage image = readPicture(picture);
    EXPECT_EQ(image.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    // Logical x is stored at row x of the 270 turn: indices 0, 2, 1.
    EXPECT_EQ(image.rows, Bytes({0x30, 0x20, 0x10, 0x40, 0, 0, 0, 0xFF, 0x70, 0x60, 0x50, 0x80}));
}

TEST_F(Assetpeek, DrawsTextInEveryRotation)
{
    // U+00C8 is code 200, which 'A' kerns after (the kerning entry has a cast).
    const std::string text = "\xC3\x88"
                             "A";
    ProgramResult result = assetpeek({"--font", font, "--text", text, "--output", picture});
    EXPECT_EQ(result.output, success(picture, 5, 14));
    EXPECT_EQ(result.status, 0);
    const LibpngImage upright = readPicture(picture);
    EXPECT_EQ(upright.colorType, PNG_COLOR_TYPE_GRAY);
    for (int rotation : {0, 90, 180, 270}) {
        const bool quarterTurn = rotation == 90 || rotation == 270;
        result =
            assetpeek({"--rotation", std::to_string(rotation), "--font", font, "--text", text, "--output", picture});
        EXPECT_EQ(result.output, success(picture, quarterTurn ? 14 : 5, quarterTurn ? 5 : 14));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(readPicture(picture).rows, rotateReference(upright.rows, 5, 14, 1, rotation)) << rotation;
    }
}

// The source's own notes say what its remapped codes show, so UTF-8 text
// needs no --codepage or --chars: here code 200 shows U+0416 (Ж), or U+0418
// (И) through a noted range. Options given win over the notes, with a
// warning line for each code of the text where they disagree.
TEST_F(Assetpeek, TextThroughTheSourcesOwnNotes)
{
    const std::string source = smallFontSource();
    const size_t notesAt = source.find("\n\n") + 2;
    const auto noted = [&](const std::string& name, const std::string& notes) {
        const std::string path = directory.file(name);
        writeFileBytes(path, source.substr(0, notesAt) + notes + "\n" + source.substr(notesAt));
        return path;
    };
    const std::string single = noted("single_16.cpp", "// 0xC8: U+0416\n");
    const std::string ranged =
        noted("ranged_16.cpp", "// fallback font 'x.ttf'\n// 0xC0-0xC8: U+0410-U+0418 from 'x.ttf'\n");
    const std::string malformed = noted("malformed_16.cpp", "// 0xC8: U+04\n");
    const std::string plain = directory.file("plain.png");
    const std::string zhe = "\xD0\x96"
                            "A";
    const std::string i = "\xD0\x98"
                          "A";
    const std::string eGrave = "\xC3\x88"
                               "A";
    ASSERT_EQ(assetpeek({"--font", font, "--text", eGrave, "--output", plain}).status, 0);
    const struct {
        std::string font;
        std::string text;
        std::vector<std::string> options;
        std::string warning; // "" for none; "ERROR: ..." for a refusal
    } cases[] = {
        {single, zhe, {}, ""},
        {ranged, i, {}, ""},
        {malformed, eGrave, {}, ""},
        {single, zhe, {"--chars", "65,200=U+0416"}, ""},
        {font, zhe, {"--chars", "65,200=U+0416"}, ""}, // no notes to disagree with
        {single, eGrave, {}, "ERROR: character U+00C8 is not in the font"},
        {single, eGrave, {"--chars", "65,200"},
            "WARNING: --codepage and --chars draw U+00C8 with code 200, which shows U+0416 by the source's notes"},
        {single, zhe, {"--codepage", "CP1251"}, "ERROR: character U+0416 is not in the font"},
    };
    for (const auto& c : cases) {
        std::remove(picture.c_str());
        std::vector<std::string> arguments = {"--font", c.font, "--text", c.text, "--output", picture};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ProgramResult result = assetpeek(arguments);
        if (c.warning.rfind("ERROR: ", 0) == 0) {
            EXPECT_EQ(result.output, kTranscript.runtimeError(c.warning.substr(7))) << c.font << " " << c.text;
            EXPECT_FALSE(fileExists(picture));
            continue;
        }
        const std::string written = success(picture, 5, 14);
        const std::string expected = c.warning.empty()
            ? written
            : kTranscript.banner + c.warning + "\n" + written.substr(kTranscript.banner.size());
        EXPECT_EQ(result.output, expected) << c.font << " " << c.text;
        EXPECT_EQ(readPicture(picture).rows, readPicture(plain).rows) << c.font << " " << c.text;
    }
}

TEST_F(Assetpeek, EveryTruncatedSurfaceFileIsInvalid)
{
    const std::string cut = directory.file("cut.srf");
    for (size_t size = 1; size < surfaceBytes.size(); ++size) {
        writeFileBytes(cut, surfaceBytes.substr(0, size));
        expectFailure({"--surface", cut, "--upright", "--output", picture},
            kTranscript.runtimeError("invalid surface file '" + cut + "'"));
    }
}

TEST_F(Assetpeek, HeaderBitFlips)
{
    const std::string flipped = directory.file("flipped.srf");
    const std::string invalid = "invalid surface file '" + flipped + "'";
    const struct {
        size_t word;
        uint32_t bit;
        std::string error;
    } cases[] = {
        {0, 0, invalid},  // rotation 91
        {0, 31, invalid}, // a negative rotation
        {1, 0, invalid},  // ARGB8888 needs a pitch of 8
        {1, 4, "unsupported colour mode 17"},
        {1, 31, invalid}, // the compressed flag over rows that are not coded
        {2, 0, invalid}, // width 3 needs a pitch of 9
        {2, 31, invalid},
        {3, 1, invalid}, // height 1: a file of 28 bytes
        {3, 31, invalid},
        {4, 0, invalid}, // pitch 7: a file of 44 bytes
        {4, 31, invalid},
    };
    for (const auto& c : cases) {
        std::string damaged = surfaceBytes;
        damaged[4 * c.word + c.bit / 8] = char(damaged[4 * c.word + c.bit / 8] ^ (1 << (c.bit % 8)));
        writeFileBytes(flipped, damaged);
        expectFailure({"--surface", flipped, "--output", picture}, kTranscript.runtimeError(c.error));
    }
}

TEST_F(Assetpeek, FontSourceWithALineRemovedIsRefused)
{
    // Each line of the glyphs' part, then a sample of the font records' lines
    // (the reader's own tests remove every line).
    const std::vector<std::string> lines = linesOf(smallFontSource());
    const size_t glyphLines = size_t(std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("const ds_bitmap_font_t", 0) == 0;
    }) - lines.begin());
    ASSERT_LT(glyphLines, lines.size());
    std::vector<size_t> removals;
    for (size_t removed = 0; removed < lines.size(); removed += removed < glyphLines ? 1 : 97)
        removals.push_back(removed);
    expectRefusedWithoutEach(lines, removals);
}

TEST_F(Assetpeek, PackedFontSources)
{
    const std::string packed = directory.file("packed_16.cpp");
    writeFileBytes(packed, smallPackedFontSource());
    const std::string drawing = directory.file("packed.png");
    const ProgramResult drawn =
        assetpeek({"--font", packed, "--text", "VA\xC3\x88 g", "--rotation", "90", "--output", drawing});
    EXPECT_EQ(drawn.output, success(drawing, 16, 15)); // 15 x 16 upright, as the classic tiny_16 lays it out
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"--text", "AB"}, "character U+0042 is not in the font"},
        {{"--text", "A", "--rotation", "180"}, "font source '" + packed + "' has no rotation 180"},
        {{"--text", "A", "--codepage", "CP1251"}, "--codepage and --chars apply to classic fonts only"},
        {{"--text", "A", "--chars", "65"}, "--codepage and --chars apply to classic fonts only"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"--font", packed, "--output", picture};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        expectFailure(arguments, kTranscript.runtimeError(c.error));
    }
    // Every line removed in turn.
    const std::vector<std::string> lines = linesOf(smallPackedFontSource());
    std::vector<size_t> removals(lines.size());
    std::iota(removals.begin(), removals.end(), 0);
    expectRefusedWithoutEach(lines, removals);
}

// A file-size limit (`ulimit -f`) below the picture's size fails the write:
// an error line and status 1 instead of a death by SIGXFSZ, nothing left.
TEST_F(Assetpeek, NoOutputLeftOverAFileSizeLimit)
{
    ProgramSetup setup;
    setup.fileSizeLimit = 16;
    const ProgramResult result = runProgram(ASSETPEEK_PATH, {"--surface", surface, "--output", picture}, setup);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.output, kTranscript.runtimeError("cannot write output file '" + picture + "'"));
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fileExists(picture));
}

} // namespace
