#include "output_file.h"

#include "output_path.h"
#include "temporary_name.h"
#include "termination_cleanup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as any new file is
constexpr mode_t kPermissionBits = 07777;
constexpr int kMostNameAttempts = 100; // temporary names tried before giving up

// The kernel links an unnamed file into a folder through its /proc entry.
std::string procPathOf(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

OutputFileTestHooks gHooks;

bool canLinkUnnamedFiles()
{
    return !gHooks.namedTemporaries && ::access("/proc/self/fd", X_OK) == 0;
}

void pauseAt(OutputPausePoint point)
{
    if (gHooks.pause)
        gHooks.pause(point);
}

// Opens an unnamed file in the folder where the file system offers them.
int openUnnamedFile(int folderFd)
{
    if (!canLinkUnnamedFiles())
        return -1;
    return ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
}

// Creates a new named temporary file beside `finalName`, registered for
// removal on termination signals before any signal can see it.
int openNamedFile(int folderFd, const std::string& finalName, std::string& name)
{
    for (int attempt = 0; attempt < kMostNameAttempts; ++attempt) {
        TerminationSignalsBlocked blocked;
        name = temporaryName(finalName);
        const int fd = ::openat(folderFd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, kNewFileMode);
        if (fd >= 0 && registerTemporaryFile(folderFd, name))
            return fd;
        if (fd >= 0) {
            ::close(fd);
            ::unlinkat(folderFd, name.c_str(), 0);
            break;
        }
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return -1;
}

// Gives the new file the permission bits of the one it replaces, and its
// owner where the process may (an unprivileged one keeps it as its own).
bool keepOwnerAndMode(int fd, const struct stat& previous)
{
    struct stat current { };
    if (::fstat(fd, &current) != 0)
        return false;
    if (current.st_uid != previous.st_uid || current.st_gid != previous.st_gid) {
        const bool given = ::fchown(fd, previous.st_uid, previous.st_gid) == 0;
        static_cast<void>(given);
    }
    return ::fchmod(fd, previous.st_mode & kPermissionBits) == 0;
}

} // namespace

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::create(const std::string& path)
{
    discard();
    const OutputTarget target = resolveOutputTarget(path);
    switch (target.kind) {
    case OutputTarget::Kind::Special: return createDirect(path);
    case OutputTarget::Kind::Descriptor: return createThroughDescriptor(target.descriptor);
    case OutputTarget::Kind::Missing:
    case OutputTarget::Kind::Regular: return createReplacement(target.folder, target.name);
    case OutputTarget::Kind::Unusable: break;
    }
    return false;
}

// Only checked here; openDirect opens it once there are bytes for it.
bool OutputFile::createDirect(const std::string& path)
{
    if (::access(path.c_str(), W_OK) != 0)
        return false;
    mDirectPath = path;
    mDirect = true;
    return true;
}

// What the tool has printed so far goes out first, for the case where the
// descriptor is standard output or leads where it does.
bool OutputFile::createThroughDescriptor(int descriptor)
{
    std::fflush(stdout);
    mFd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    mDirect = mFd >= 0;
    return mDirect;
}

// Opens a device or FIFO given by path at the first write. What the tool has
// printed so far goes out first, for the case where both lead to one place.
bool OutputFile::openDirect()
{
    if (mFd >= 0 || !mDirect)
        return mFd >= 0;
    if (mDirectPath.empty())
        return false;
    std::fflush(stdout);
    do
        mFd = ::open(mDirectPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    while (mFd < 0 && errno == EINTR);
    mDirectPath.clear();
    mFailed = mFd < 0;
    return mFd >= 0;
}

bool OutputFile::createReplacement(const std::string& folder, const std::string& name)
{
    mFolderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat previous { };
    const bool replacing = mFolderFd >= 0 && ::fstatat(mFolderFd, name.c_str(), &previous, AT_SYMLINK_NOFOLLOW) == 0;
    // A file the process may not write stays protected, as it was when
    // outputs were opened in place.
    if (mFolderFd < 0 || (replacing && ::faccessat(mFolderFd, name.c_str(), W_OK, AT_EACCESS) != 0)) {
        discard();
        return false;
    }
    mFd = openUnnamedFile(mFolderFd);
    if (mFd < 0)
        mFd = openNamedFile(mFolderFd, name, mTemporary);
    if (mFd < 0 || (replacing && !keepOwnerAndMode(mFd, previous))) {
        discard();
        return false;
    }
    mName = name;
    return true;
}

void OutputFile::write(const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (size > 0 && !mFailed)
        openDirect();
    while (mFd >= 0 && !mFailed && size > 0) {
        const ssize_t written = ::write(mFd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            mFailed = true;
            break;
        }
        bytes += written;
        size -= size_t(written);
    }
}

ssize_t OutputFile::writeVector(const iovec* buffers, int count)
{
    if (!mFailed)
        openDirect();
    if (mFd < 0 || mFailed)
        return -1;
    ssize_t written = -1;
    do
        written = ::writev(mFd, buffers, count);
    while (written < 0 && errno == EINTR);
    mFailed = written <= 0;
    return written;
}

bool OutputFile::finish()
{
    if (!mFailed)
        openDirect(); // an empty output still opens (and truncates) its device
    if (mFd < 0 || mFinished)
        return mFinished;
    // An unnamed file stays open: it can only be linked into place while it is.
    const bool keepOpen = !mDirect && mTemporary.empty();
    bool complete = !mFailed;
    if (!keepOpen) {
        complete = ::close(mFd) == 0 && complete;
        mFd = -1;
    }
    if (!complete) {
        discard();
        return false;
    }
    mFinished = true;
    return true;
}

bool OutputFile::nameUnnamedFile()
{
    const std::string procPath = procPathOf(mFd);
    for (int attempt = 0; attempt < kMostNameAttempts; ++attempt) {
        const std::string name = temporaryName(mName);
        if (::linkat(AT_FDCWD, procPath.c_str(), mFolderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            mTemporary = name;
            const bool closed = ::close(mFd) == 0;
            mFd = -1;
            return closed;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool OutputFile::publish()
{
    if (!mFinished)
        return false;
    // Held back so that an interrupt cannot leave a temporary name behind.
    TerminationSignalsBlocked blocked;
    const bool placed = mDirect || placeReplacement();
    discard();
    return placed;
}

// Called with the termination signals held back.
bool OutputFile::placeReplacement()
{
    if (mTemporary.empty() && !nameUnnamedFile())
        return false;
    if (::renameat(mFolderFd, mTemporary.c_str(), mFolderFd, mName.c_str()) != 0)
        return false;
    unregisterTemporaryFile(mFolderFd, mTemporary);
    mTemporary.clear();
    return true;
}

// Gives the file the final name holds now a second, temporary name, so that
// it can be put back; `kept` stays empty when there is no such file. A file
// system without hard links gets the file moved to that name instead.
bool OutputFile::keepPrevious(std::string& kept)
{
    kept.clear();
    struct stat previous { };
    if (::fstatat(mFolderFd, mName.c_str(), &previous, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    for (int attempt = 0; attempt < kMostNameAttempts; ++attempt) {
        const std::string name = temporaryName(mName);
        if (!registerTemporaryFile(mFolderFd, name))
            return false;
        if (::linkat(mFolderFd, mName.c_str(), mFolderFd, name.c_str(), 0) == 0 ||
            (errno != EEXIST && ::renameat(mFolderFd, mName.c_str(), mFolderFd, name.c_str()) == 0)) {
            kept = name;
            return true;
        }
        const bool clash = errno == EEXIST;
        unregisterTemporaryFile(mFolderFd, name);
        if (!clash)
            return false;
    }
    return false;
}

// Undoes placeReplacement: the kept file goes back under the final name, or
// the new file is removed when the name had none before.
void OutputFile::restorePrevious(const std::string& kept)
{
    if (kept.empty())
        ::unlinkat(mFolderFd, mName.c_str(), 0);
    else if (::renameat(mFolderFd, kept.c_str(), mFolderFd, mName.c_str()) == 0)
        unregisterTemporaryFile(mFolderFd, kept);
}

// Undoes keepPrevious when the new file never took the final name.
void OutputFile::undoKeep(const std::string& kept)
{
    struct stat status { };
    if (kept.empty())
        return;
    if (::fstatat(mFolderFd, mName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        dropKept(kept); // a second link: the final name still holds the file
    else if (::renameat(mFolderFd, kept.c_str(), mFolderFd, mName.c_str()) == 0)
        unregisterTemporaryFile(mFolderFd, kept);
}

void OutputFile::dropKept(const std::string& kept)
{
    if (kept.empty())
        return;
    ::unlinkat(mFolderFd, kept.c_str(), 0);
    unregisterTemporaryFile(mFolderFd, kept);
}

bool publishPair(OutputFile& first, OutputFile& second, const OutputFile*& failed)
{
    failed = nullptr;
    if (!first.mFinished || !second.mFinished || first.mDirect || second.mDirect) {
        // Nothing to undo for a direct output: each goes as it stands.
        failed = !first.publish() ? &first : !second.publish() ? &second : nullptr;
        first.discard();
        second.discard();
        return !failed;
    }
    TerminationSignalsBlocked blocked;
    std::string kept;
    if (!first.keepPrevious(kept)) {
        failed = &first;
    } else if (!first.placeReplacement()) {
        first.undoKeep(kept);
        failed = &first;
    } else {
        pauseAt(OutputPausePoint::BetweenPairPublishes);
        if (second.placeReplacement()) {
            first.dropKept(kept);
        } else {
            first.restorePrevious(kept);
            failed = &second;
        }
    }
    first.discard();
    second.discard();
    return !failed;
}

void OutputFile::discard()
{
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
    if (!mTemporary.empty()) {
        // Held back, and removed before it is forgotten: a signal in between
        // would find it on no list and leave it on disk.
        TerminationSignalsBlocked blocked;
        ::unlinkat(mFolderFd, mTemporary.c_str(), 0);
        pauseAt(OutputPausePoint::DuringDiscard);
        unregisterTemporaryFile(mFolderFd, mTemporary);
        mTemporary.clear();
    }
    if (mFolderFd >= 0)
        ::close(mFolderFd);
    mFolderFd = -1;
    mName.clear();
    mDirectPath.clear();
    mFinished = false;
    mFailed = false;
    mDirect = false;
}

void setOutputFileTestHooks(const OutputFileTestHooks& hooks)
{
    gHooks = hooks;
}
