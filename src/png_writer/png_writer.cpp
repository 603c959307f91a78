#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <new>

namespace {

// PNG's own bound on width and height; libpng's default limit for them is lower.
constexpr png_uint_32 kLargestDimension = PNG_UINT_31_MAX;

// Rows libpng keeps while it writes with its default filter choice.
constexpr uint64_t kLibpngRows = 4;
// zlib's deflate state at libpng's settings (a 32 KiB window and memory
// level 8 take 256 KiB), libpng's output buffer and its structures, with room.
constexpr uint64_t kDeflateStateBytes = 320 << 10;

// Where libpng's bytes go, and how many went.
struct PngSink {
    OutputFile* output; // the file being written
    uint64_t written;   // bytes handed to it so far
};

void writeToOutput(png_structp png, png_bytep data, size_t size)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    sink->output->write(data, size);
    sink->written += size;
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

// The size and layout of the picture being written.
struct PngHeader {
    uint32_t width;       // pixels per row
    uint32_t height;      // rows
    PictureFormat format; // layout of every pixel
};

// Every libpng call of a write, under one setjmp. Only plain values live in
// this frame and libpng calls back only into writeToOutput, which never
// raises an error, so a longjmp out of libpng skips no destructor. `rows`
// is called between libpng calls, never from inside libpng.
bool runLibpng(png_structp png, png_infop info, const PngHeader& header, const PngRowSource& rows, PngSink* sink)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, sink, writeToOutput, flushNothing);
    png_set_user_limits(png, kLargestDimension, kLargestDimension);
    png_set_IHDR(png, info, header.width, header.height, 8, pngColorType(header.format), PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < header.height; ++y) {
        const uint8_t* row = rows(y);
        if (!row)
            return false;
        // libpng takes the row as a non-const pointer but only reads it.
        png_write_row(png, const_cast<png_bytep>(row));
    }
    png_write_end(png, info);
    return true;
}

// libpng's memory from the C library, noting a block it could not have so
// that running out of memory is told apart from a failed write.
png_voidp allocateForLibpng(png_structp png, png_alloc_size_t size)
{
    void* block = std::malloc(size);
    if (!block)
        *static_cast<bool*>(png_get_mem_ptr(png)) = true;
    return block;
}

void freeForLibpng(png_structp, png_voidp block)
{
    std::free(block);
}

// libpng's write and info structures, destroyed together.
class PngWriteStructs {
public:
    PngWriteStructs()
        : mPng(png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, stopWriting, ignoreWarning, &mOutOfMemory,
              allocateForLibpng, freeForLibpng)),
          mInfo(mPng ? png_create_info_struct(mPng) : nullptr)
    {
    }
    ~PngWriteStructs() { png_destroy_write_struct(&mPng, &mInfo); }
    PngWriteStructs(const PngWriteStructs&) = delete;
    PngWriteStructs& operator=(const PngWriteStructs&) = delete;

    bool created() const { return mPng && mInfo; }
    png_structp png() const { return mPng; }
    png_infop info() const { return mInfo; }
    bool outOfMemory() const { return mOutOfMemory; }

private:
    bool mOutOfMemory = false; // an allocation for libpng failed; set before mPng is made
    png_structp mPng;          // null when libpng could not create it
    png_infop mInfo;           // null when libpng could not create it
};

} // namespace

bool writePngRows(uint32_t width, uint32_t height, PictureFormat format, const PngRowSource& rows, OutputFile& output,
    uint64_t* written)
{
    PngWriteStructs structs;
    if (structs.outOfMemory())
        throw std::bad_alloc();
    if (!structs.created())
        return false;
    PngSink sink{&output, 0};
    const bool done = runLibpng(structs.png(), structs.info(), PngHeader{width, height, format}, rows, &sink);
    if (written)
        *written += sink.written;
    if (!done && structs.outOfMemory())
        throw std::bad_alloc();
    return done;
}

uint64_t pngWriterMemoryBytes(uint32_t width, PictureFormat format)
{
    return kLibpngRows * (uint64_t(width) * pictureChannels(format) + 1) + kDeflateStateBytes;
}

bool writePng(const Picture& picture, OutputFile& output)
{
    const size_t rowBytes = size_t(picture.width) * pictureChannels(picture.format);
    if (picture.pixels.size() != rowBytes * picture.height)
        return false;
    const uint8_t* pixels = picture.pixels.data();
    return writePngRows(
        picture.width, picture.height, picture.format,
        [pixels, rowBytes](uint32_t y) { return pixels + size_t(y) * rowBytes; }, output);
}
