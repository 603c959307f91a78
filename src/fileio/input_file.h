// Whole-file input: an input file opened first and read or mapped whole later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// False only when `size` exceeds the machine's RAM and swap together, as
// sysinfo() reports them (true when it fails). Checked before a whole file
// is read, so that a file no machine of this size could hold (a huge sparse
// one) is refused at once. Neither a container's memory limit (the cgroup's
// memory.max) nor the memory in use is counted: a file within the machine's
// total but over those is attempted, and its allocation or mapping fails.
bool fitsInMemory(uint64_t size);

// True when `path` names something that exists but is not a regular file,
// after symlinks: a FIFO, device, socket or folder, which no tool reads as
// input.
bool namesNonRegularFile(const std::string& path);

// Opens `path` read-only as a tool's input without ever waiting: a path that
// names anything but a regular file is not opened at all, so that neither a
// FIFO without a writer nor a device's open can hold the run up, and the
// file is opened with O_NONBLOCK, so that a FIFO put in its place after that
// check cannot either (the caller's fstat then finds it is no regular file).
// False when the path cannot be opened; true otherwise, with `fd` -1 for a
// path that is not a regular file, which the caller reports as unreadable.
bool openInputFile(const std::string& path, int& fd);

// An input file opened first and read whole later, so that the tools can
// report "cannot open" and "cannot read" at the moments they happen. A file
// of at least two huge pages (4 MiB) is read into a buffer aligned to them
// and advised to use them for the part it fills (advice only): for a file of
// tens of megabytes, faulting in small pages costs more than reading the bytes.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Opens the file with openInputFile: false when it cannot be opened. Any
    // other input than a regular file is taken as opened, and every later
    // step fails for it.
    bool open(const std::string& path);
    // Takes the size of the file without reading it. Fails for anything but
    // a regular file, and for an empty one, which no tool takes as input.
    bool measure();
    // Reads the whole file. Fails as measure does, where fitsInMemory says no
    // or the buffer cannot be had, and for a short read.
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

    // Null before readAll or mapAll has succeeded.
    const uint8_t* data() const { return mMapping ? mMapping : mBytes.get(); }
    // 0 until measured.
    uint64_t size() const { return mSize; }

private:
    struct FreeBytes {
        void operator()(uint8_t* bytes) const { std::free(bytes); }
    };
    int mFd = -1; // -1 when closed
    std::unique_ptr<uint8_t, FreeBytes> mBytes;
    const uint8_t* mMapping = nullptr; // mSize bytes, unmapped by releaseBytes
    uint64_t mSize = 0;
};
