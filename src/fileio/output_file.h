// Output files that replace their target only once they are complete.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <string>

// An output file that never loses data. A regular file (or a path that does
// not exist yet) is written to a new temporary file in the folder of the
// final file - for a symlink, the folder of the file it resolves to - and
// renamed over the final name only by `publish`: until then every file that
// existed stays as it was, so the input of a run may also be its output. The
// rename gives the final name a new file; other hard links to the old file
// keep the old bytes. A replaced file keeps its permission bits (and its
// owner, where the process may set it). The temporary file is an unnamed
// one where the file system offers them and /proc is mounted; otherwise it
// is named, and removed again on SIGINT, SIGTERM and SIGHUP (SIGKILL leaves
// it). A device, FIFO or terminal is opened where it is, but only when the
// first bytes are written, so that a FIFO without a reader holds up no run
// that fails before; a path that names one of the process's descriptors
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is written through that
// descriptor, at its offset. What went to those has gone: publish and
// discard cannot take it back.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Prepares the file that will replace `path`. Fails when `path` names a
    // folder, lies in a folder that does not exist or cannot be written,
    // names an existing file or device this process may not write, or names
    // a descriptor that is not open.
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
    // Drops whatever was written to a replacement; the final name stays as it was.
    void discard();

    // Publishes two finished files as one: both final names get their new
    // files, or neither changes (the first file's old version is kept under
    // a temporary name until the second is in place, then dropped, or put
    // back when the second cannot be placed). SIGINT, SIGTERM and SIGHUP are
    // held back throughout; after a SIGKILL between the two renames the
    // first name has its new file, the second its old one, and the first's
    // old version stays under its temporary name. Direct outputs are written
    // already and are not undone. Both files are dropped either way; on
    // failure, `failed` is the one that could not be placed.
    friend bool publishPair(OutputFile& first, OutputFile& second, const OutputFile*& failed);

private:
    bool createDirect(const std::string& path);
    bool createThroughDescriptor(int descriptor);
    bool createReplacement(const std::string& folder, const std::string& name);
    bool openDirect();
    bool nameUnnamedFile();
    bool placeReplacement();
    bool keepPrevious(std::string& kept);
    void restorePrevious(const std::string& kept);
    void undoKeep(const std::string& kept);
    void dropKept(const std::string& kept);

    int mFd = -1;            // an unnamed file stays open until it is linked in
    int mFolderFd = -1;      // the final file's folder, for a replacement
    std::string mName;       // the final file's name in that folder
    std::string mTemporary;  // empty while the temporary file has no name
    std::string mDirectPath; // a device or FIFO not opened yet
    bool mFinished = false;  // finish has succeeded; publish may run
    bool mFailed = false;
    bool mDirect = false; // a device, FIFO, terminal or descriptor: no replacement
};

// For the tests' builds of the tools only, which set them before main runs:
// named temporary files even where unnamed ones are offered (the path every
// file system without O_TMPFILE takes), and a function called at two points
// where a signal must find nothing half done.
enum class OutputPausePoint {
    BetweenPairPublishes, // publishPair, after the first rename
    DuringDiscard,        // discard, between removing a named file and forgetting it
};
struct OutputFileTestHooks {
    bool namedTemporaries = false;
    void (*pause)(OutputPausePoint point) = nullptr;
};
void setOutputFileTestHooks(const OutputFileTestHooks& hooks);
