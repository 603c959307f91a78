// Whole-file input: an input file opened first and read or mapped whole later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// True when `size` bytes could be held in memory at all: no more than the
// machine's memory and swap together. Checked before a whole file is read,
// so that a huge (or sparse) file is refused rather than attempted.
bool fitsInMemory(uint64_t size);

// An input file opened first and read whole later, so that the tools can
// report "cannot open" and "cannot read" at the moments they happen. The
// bytes are read with one read into a buffer that asks for huge pages where
// the kernel offers them: for a file of tens of megabytes, faulting in small
// pages costs more than reading the bytes.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    bool open(const std::string& path);
    // Takes the size of the file without reading it, for an input whose bytes
    // are copied rather than read. Fails for anything but a regular file and
    // for an empty file (a block of zero bytes never arrives).
    bool measure();
    // Reads the whole file. Fails as measure does, for a file too big to hold
    // in memory and for a short read.
    bool readAll();
    // Maps the whole file read-only, its pages brought in at once, instead of
    // reading it: for bytes that are only handed back to the kernel (written
    // out), which then copies them once, from the file's pages to the output,
    // as cp does. The process must not read them itself: should the file be
    // truncated meanwhile, a write from the mapping fails, where a read would
    // stop the process. Fails as readAll does, and where the file cannot be
    // mapped.
    bool mapAll();
    // Closes the file; the bytes read or mapped stay until releaseBytes or the end.
    void close();
    void releaseBytes();

    // The bytes once read or mapped; null before.
    const uint8_t* data() const { return mMapping ? mMapping : mBytes.get(); }
    // The file's size once measured or read.
    uint64_t size() const { return mSize; }

private:
    struct FreeBytes {
        void operator()(uint8_t* bytes) const { std::free(bytes); }
    };
    int mFd = -1;                               // open file, or -1
    std::unique_ptr<uint8_t, FreeBytes> mBytes; // the file's contents once read
    const uint8_t* mMapping = nullptr;          // the file's pages once mapped
    uint64_t mSize = 0;                         // size of the file, once measured, read or mapped
};
