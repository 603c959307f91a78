// Output files that replace their target only once they are complete.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <string>

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
