#include "peek_check.h"

#include "run_program.h"

#include <gtest/gtest.h>

LibpngImage readPicture(const std::string& path)
{
    const std::string file = readFileBytes(path);
    LibpngImage image;
    EXPECT_TRUE(readWithLibpng(
        Bytes(file.begin(), file.end()), [](png_structp, png_infop) {}, image))
        << path;
    return image;
}
