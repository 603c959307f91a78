// Shared by pixpack's end-to-end tests: its transcripts, runs of the real
// binary, the surface files it must write, and two small images.
#pragma once

#include "png_builder.h"
#include "run_program.h"
#include "tool_transcript.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

inline const ToolTranscript kTranscript = {toolBanner("Corvane Surface Generator"),
    "\n\nUSAGE: pixpack [options]\n"
    "where [options] can be any of the following:\n\n"
    "\n --help                            -  Print this help screen\n"
    "\n --silent                          -  Print minimal information on the screen (useful for running from "
    "scripts)\n"
    "\n --image <image file>              -  Input image file\n"
    "\n --rotation <90 | 180 | 270>       -  Specify image rotation\n"
    "\n --alphaonly                       -  Generate an alpha only surface\n"
    "\n --output <output file>            -  Output surface file\n"
    "\n --format <colour mode>            -  Convert to ARGB8888, RGB888, RGB565, ARGB1555, ARGB4444, AI88, A8, I8, "
    "RGB565_SWAPPED or ARGB8565\n"
    "\n --dither                          -  Dither RGB565, ARGB1555, ARGB4444, RGB565_SWAPPED or ARGB8565\n"
    "\n --palette <palette file>          -  Output palette file of an indexed image\n"
    "\n --compress                        -  Write a compressed surface file\n"};

// pixpack with `arguments`.
ProgramResult pixpack(const std::vector<std::string>& arguments);

// The transcript of a run that wrote a surface file of `bytes` bytes from `image`.
std::string success(const std::string& image, size_t bytes);

std::string asText(const Bytes& bytes);

// The surface file a correct pixpack writes, from libpng's decoding.
std::string expectedSurfaceFile(const Bytes& png, bool alphaOnly, int rotation);

// An RGB and a greyscale image of 5 x 3 pixels in a fresh folder.
class Pixpack : public testing::Test {
protected:
    void SetUp() override;

    TemporaryDirectory directory;
    const std::string color = directory.file("color.png");
    const std::string grey = directory.file("grey.png");
    const std::string output = directory.file("out.srf");
    Bytes colorPng, greyPng;
};
