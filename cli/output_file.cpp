#include "output_file.h"

#include "output_path.h"
#include "temporary_name.h"
#include "termination_cleanup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as any new file is
constexpr mode_t kPermissionBits = 07777;
constexpr int kMostNameAttempts = 100; // temporary names tried before giving up

// The kernel links an unnamed file into a folder through its /proc entry.
std::string procPathOf(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

bool canLinkUnnamedFiles()
{
    return ::access("/proc/self/fd", X_OK) == 0;
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
    case OutputTarget::Kind::Missing:
    case OutputTarget::Kind::Regular: return createReplacement(target.folder, target.name);
    case OutputTarget::Kind::Unusable: break;
    }
    return false;
}

bool OutputFile::createDirect(const std::string& path)
{
    mFd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    mDirect = mFd >= 0;
    return mDirect;
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

void OutputFile::discard()
{
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
    if (!mTemporary.empty()) {
        unregisterTemporaryFile(mFolderFd, mTemporary);
        ::unlinkat(mFolderFd, mTemporary.c_str(), 0);
        mTemporary.clear();
    }
    if (mFolderFd >= 0)
        ::close(mFolderFd);
    mFolderFd = -1;
    mName.clear();
    mFinished = false;
    mFailed = false;
    mDirect = false;
}
