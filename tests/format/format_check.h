// Shared by the --format tests: runs of pixpack and its surface files.
#pragma once

#include "png_builder.h"
#include "run_program.h"

#include <cstdint>
#include <string>
#include <vector>

// A surface file as pixpack wrote it.
struct SurfaceFile {
    uint32_t rotation = 0, colorMode = 0, width = 0, height = 0, pitch = 0;
    Bytes rows; // height x pitch bytes
};

// Reads the surface file at `path`; fails the test when it is not one.
SurfaceFile readSurfaceFile(const std::string& path);

// The surface file of rows `pixels` (the upright image of width x height
// pixels of `bytesPerPixel` bytes, mode `colorMode`) as pixpack writes it
// turned by `rotation`.
std::string surfaceFileBytes(
    const Bytes& pixels, uint32_t width, uint32_t height, uint32_t colorMode, uint32_t bytesPerPixel, int rotation);

// pixpack --image `image` --output `output` with `options`, and --rotation
// unless it is 0, run in this process: its standard output and the status
// its entry function returns.
ProgramResult pixpackRun(
    const std::string& image, const std::string& output, int rotation, const std::vector<std::string>& options);

// The error line pixpack prints for a refused run, without the banner.
std::string errorOf(const ProgramResult& result);
