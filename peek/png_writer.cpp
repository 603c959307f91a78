#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace {

// PNG's own bound on width and height; libpng's default limit for them is lower.
constexpr png_uint_32 kLargestDimension = PNG_UINT_31_MAX;

void writeToOutput(png_structp png, png_bytep data, size_t size)
{
    static_cast<OutputFile*>(png_get_io_ptr(png))->write(data, size);
}

// The output is flushed when it is committed.
void flushNothing(png_structp)
{
}

// A libpng error ends the write through runLibpng's setjmp; nothing is
// printed, as the tool reports the failed write itself.
void stopWriting(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp)
{
}

int pngColorType(PictureFormat format)
{
    switch (format) {
    case PictureFormat::GreyAlpha: return PNG_COLOR_TYPE_GRAY_ALPHA;
    case PictureFormat::Rgb: return PNG_COLOR_TYPE_RGB;
    case PictureFormat::Rgba: return PNG_COLOR_TYPE_RGB_ALPHA;
    default: return PNG_COLOR_TYPE_GRAY;
    }
}

// Every libpng call of a write, under one setjmp. Only plain values live in
// this frame and libpng calls back only into writeToOutput, which never
// raises an error, so a longjmp out of libpng skips no destructor.
bool runLibpng(png_structp png, png_infop info, const Picture& picture, png_bytepp rows, OutputFile* output)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, output, writeToOutput, flushNothing);
    png_set_user_limits(png, kLargestDimension, kLargestDimension);
    png_set_IHDR(png, info, picture.width, picture.height, 8, pngColorType(picture.format), PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

// libpng's write and info structures, destroyed together.
class PngWriteStructs {
public:
    PngWriteStructs()
        : mPng(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopWriting, ignoreWarning)),
          mInfo(mPng ? png_create_info_struct(mPng) : nullptr)
    {
    }
    ~PngWriteStructs() { png_destroy_write_struct(&mPng, &mInfo); }
    PngWriteStructs(const PngWriteStructs&) = delete;
    PngWriteStructs& operator=(const PngWriteStructs&) = delete;

    bool created() const { return mPng && mInfo; }
    png_structp png() const { return mPng; }
    png_infop info() const { return mInfo; }

private:
    png_structp mPng; // null when libpng could not create it
    png_infop mInfo;  // null when libpng could not create it
};

} // namespace

bool writePng(const Picture& picture, OutputFile& output)
{
    PngWriteStructs structs;
    if (!structs.created())
        return false;
    const size_t rowBytes = size_t(picture.width) * pictureChannels(picture.format);
    if (picture.pixels.size() != rowBytes * picture.height)
        return false;
    // libpng takes the rows as non-const pointers but only reads them.
    auto* pixels = const_cast<png_bytep>(picture.pixels.data());
    std::vector<png_bytep> rows(picture.height);
    for (size_t row = 0; row < rows.size(); ++row)
        rows[row] = pixels + row * rowBytes;
    return runLibpng(structs.png(), structs.info(), picture, rows.data(), &output);
}
