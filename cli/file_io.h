// Whole-file input, and output files that replace their target only once
// they are complete.
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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

// An output file that never loses data. A regular file (or a path that does
// not exist yet) is written to a new temporary file in the folder of the
// final file - for a symlink, the folder of the file it resolves to - and
// renamed over the final name only by `publish`. Until then every file that
// existed stays exactly as it was, so the input of a run may also be its
// output. A replaced file keeps its permission bits (and its owner, where
// the process may keep it). The temporary file is an unnamed one where the
// file system offers them; otherwise it is named, and removed again on
// SIGINT, SIGTERM and SIGHUP. Targets that are not regular files (devices,
// FIFOs, terminals) are written directly.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Prepares the file that will replace `path`. Fails when `path` names a
    // folder, lies in a folder that does not exist or cannot be written, or
    // names an existing file this process may not write.
    bool create(const std::string& path);
    // Remembers any failure; `finish` reports it.
    void write(const void* data, size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // One vectored write of a leading part of `count` buffers; returns the
    // bytes written, or -1 once a write has failed (writev's contract, so
    // that a caller can continue short writes). A failure is remembered.
    ssize_t writeVector(const iovec* buffers, int count);
    // Closes the written file; true when every write and the close succeeded.
    // Nothing is replaced yet; on failure the file is dropped.
    bool finish();
    // Puts the finished file in place of the final name, atomically; true on
    // success. On failure the previous file stays and the new one is dropped.
    bool publish();
    // finish() and publish(): for an output that stands alone.
    bool commit() { return finish() && publish(); }
    // Drops whatever was written; the final name stays as it was.
    void discard();

private:
    bool createDirect(const std::string& path);
    bool createReplacement(const std::string& folder, const std::string& name);
    bool nameUnnamedFile();
    bool placeReplacement();

    int mFd = -1;           // file being written, or -1
    int mFolderFd = -1;     // folder of the final file when it is replaced
    std::string mName;      // final file name inside that folder
    std::string mTemporary; // name of a named temporary file; empty when it has no name
    bool mFinished = false; // written and closed, waiting for publish
    bool mFailed = false;   // a write has failed
    bool mDirect = false;   // writing straight into a device, FIFO or terminal
};
