// Shared by rawsnap's end-to-end tests: its transcripts, runs of the real
// binary, random dumps and the BMP files they must give.
#pragma once

#include "run_program.h"
#include "tool_transcript.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline const ToolTranscript kTranscript = {toolBanner("Snapshot Converter"),
    "\n\nUSAGE: rawsnap [options]\n"
    "where [options] can be any of the following:\n\n"
    "\n --help                            -  Print this help screen\n"
    "\n --silent                          -  Print minimal information on the screen (useful for running from "
    "scripts)\n"
    "\n --fb <raw framebuffer file>       -  Input framebuffer file\n"
    "\n --width <width in pixels>         -  Specify the framebuffer width in pixels\n"
    "\n --height <height in pixels>       -  Specify the framebuffer height in pixels (default: every whole line of "
    "the file)\n"
    "\n --pitch <pitch in bytes>          -  Specify the framebuffer pitch in bytes (default: width x bytes per "
    "pixel)\n"
    "\n --offset <bytes>                  -  Skip this many bytes before the first line (default: 0)\n"
    "\n --format <color format>           -  Specify the framebuffer color format, one of:\n"
    "      RGB888           bytes B, G, R\n"
    "      RGB565           little-endian 16 bits: R in bits 11-15, G 5-10, B 0-4\n"
    "      RGB565_SWAPPED   16 bits, high byte first (RGB565 swapped, as SPI panels hold it)\n"
    "      BGR565           little-endian 16 bits: B in bits 11-15, G 5-10, R 0-4\n"
    "      BGR888           bytes R, G, B\n"
    "      XRGB8888         bytes B, G, R, X (X ignored)\n"
    "      ARGB8888         bytes B, G, R, A\n"
    "      ARGB1555         little-endian 16 bits: A in bit 15, R 10-14, G 5-9, B 0-4\n"
    "      ARGB4444         little-endian 16 bits: A in bits 12-15, R 8-11, G 4-7, B 0-3\n"
    "      ARGB8565         3 bytes: an RGB565 word (little-endian), then A\n"
    "\n --output <output file>            -  Output file: PNG when its name ends in .png, BMP otherwise\n"};

// rawsnap with `arguments`.
ProgramResult rawsnap(const std::vector<std::string>& arguments);

// `count` bytes of noise, the same for the same seed.
std::string randomBytes(size_t count, unsigned seed);

// Little-endian words of 32 and 16 bits.
std::string le32(uint32_t value);
std::string le16(uint32_t value);

// The BMP a correct converter writes, built independently of the tool's code.
std::string expectedBmp(const std::string& dump, uint32_t width, uint32_t height, uint32_t pitch, uint32_t bits);

// A 3 x 2 RGB888 dump of pitch 9 and an output in a fresh folder.
class Rawsnap : public testing::Test {
protected:
    std::vector<std::string> withArguments(std::vector<std::string> extra) const
    {
        std::vector<std::string> arguments{
            "--fb", dump, "--width", "3", "--height", "2", "--pitch", "9", "--format", "RGB888", "--output", output};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    TemporaryDirectory directory;
    const std::string dump = directory.file("fb.raw");
    const std::string output = directory.file("out.bmp");
};
