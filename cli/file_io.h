// Whole-file input and output files that never leave a partial result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// An input file opened first and read whole later, so that the tools can
// report "cannot open" and "cannot read" at the moments they happen.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    bool open(const std::string& path);
    // Reads the whole file into `contents`. Fails for an empty file, as a
    // block of zero bytes never arrives, and for a short read.
    bool readAll(std::vector<uint8_t>& contents);
    void close();

private:
    std::FILE* mFile = nullptr;
};

// An output file that is removed again unless the run commits it. Only a
// regular file that this object created or truncated is ever removed, so
// devices, FIFOs and standard streams named as outputs are left alone.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates or truncates the file; `textMode` opens it with "w", else "wb".
    bool create(const std::string& path, bool textMode = false);
    // Remembers any failure; `commit` reports it.
    void write(const void* data, size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // Flushes and closes the file; true when every write and the close
    // succeeded. On failure the file is removed.
    bool commit();
    // Closes and removes the file now (a run that stopped half-way).
    void discard();

    std::FILE* handle() const { return mFile; }

private:
    std::FILE* mFile = nullptr;
    std::string mPath;
    bool mRemovable = false; // a regular file this object created or truncated
    bool mFailed = false;    // a write has failed
    unsigned long long mDevice = 0, mInode = 0; // identity of the file opened
};
