#include "output_target.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kMostSymlinks = 40;          // the kernel gives up on a path walk after as many
constexpr size_t kLongestFileName = 255;   // NAME_MAX of Linux file systems
constexpr size_t kTemporaryNameExtra = 16; // '.', ".tmp" and eight hex digits, with room to spare
constexpr int kMostPendingFiles = 8;       // a tool holds two at a time at the most
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

OutputTarget targetAt(OutputTarget::Kind kind, const std::string& path)
{
    OutputTarget target;
    const size_t slash = path.find_last_of('/');
    target.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    target.name = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool usableName = !target.name.empty() && target.name != "." && target.name != "..";
    target.kind = usableName ? kind : OutputTarget::Kind::Unusable;
    return target;
}

// The path a symlink points to, read relative to the folder it stands in.
bool followLink(std::string& path)
{
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || size_t(length) >= buffer.size())
        return false;
    const std::string link(buffer.data(), size_t(length));
    if (link.front() == '/') {
        path = link;
        return true;
    }
    const size_t slash = path.find_last_of('/');
    path = slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    return true;
}

struct PendingFile {
    volatile sig_atomic_t inUse;     // set once the fields below are complete
    int folderFd;                    // folder the file was made in
    char name[kLongestFileName + 1]; // its name there
};

PendingFile gPendingFiles[kMostPendingFiles];
struct sigaction gPreviousActions[std::size(kCleanupSignals)];
bool gHandlersInstalled = false;

// Removes every pending temporary file, then lets the signal do what it
// would have done without us.
void removePendingFiles(int signal)
{
    const int savedErrno = errno;
    for (PendingFile& file : gPendingFiles)
        if (file.inUse)
            ::unlinkat(file.folderFd, file.name, 0);
    for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
        if (kCleanupSignals[i] == signal)
            ::sigaction(signal, &gPreviousActions[i], nullptr);
    errno = savedErrno;
    ::raise(signal); // delivered with the previous action once this handler returns
}

void installCleanupHandlers()
{
    if (gHandlersInstalled)
        return;
    gHandlersInstalled = true;
    struct sigaction cleanup { };
    cleanup.sa_handler = removePendingFiles;
    sigemptyset(&cleanup.sa_mask);
    for (int signal : kCleanupSignals)
        sigaddset(&cleanup.sa_mask, signal);
    for (size_t i = 0; i < std::size(kCleanupSignals); ++i) {
        ::sigaction(kCleanupSignals[i], nullptr, &gPreviousActions[i]);
        if (gPreviousActions[i].sa_handler != SIG_IGN)
            ::sigaction(kCleanupSignals[i], &cleanup, nullptr);
    }
}

uint32_t temporarySuffix()
{
    static uint32_t counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t mixed = (uint64_t(::getpid()) << 32) ^ uint64_t(now.tv_nsec) ^ (uint64_t(++counter) << 20);
    mixed *= 0x9E3779B97F4A7C15ull;
    return uint32_t(mixed >> 32);
}

} // namespace

OutputTarget resolveOutputTarget(const std::string& path)
{
    struct stat status { };
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        // Devices and FIFOs are written where they are, through the path as
        // given: /dev/stdout may lead to a pipe that has no name to follow.
        if (S_ISDIR(status.st_mode))
            return {};
        OutputTarget target;
        target.kind = OutputTarget::Kind::Special;
        return target;
    }
    std::string current = path;
    for (int hop = 0; hop <= kMostSymlinks; ++hop) {
        if (::lstat(current.c_str(), &status) != 0)
            return errno == ENOENT ? targetAt(OutputTarget::Kind::Missing, current) : OutputTarget{};
        if (!S_ISLNK(status.st_mode))
            return S_ISREG(status.st_mode) ? targetAt(OutputTarget::Kind::Regular, current) : OutputTarget{};
        if (!followLink(current))
            return {};
    }
    return {};
}

std::string temporaryName(const std::string& finalName)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".tmp%08X", unsigned(temporarySuffix()));
    const size_t kept = std::min(finalName.size(), kLongestFileName - kTemporaryNameExtra);
    return "." + finalName.substr(0, kept) + suffix;
}

bool registerTemporaryFile(int folderFd, const std::string& name)
{
    if (name.size() > kLongestFileName)
        return false;
    for (PendingFile& file : gPendingFiles) {
        if (file.inUse)
            continue;
        installCleanupHandlers();
        file.folderFd = folderFd;
        std::memcpy(file.name, name.c_str(), name.size() + 1);
        file.inUse = 1;
        return true;
    }
    return false;
}

void unregisterTemporaryFile(int folderFd, const std::string& name)
{
    for (PendingFile& file : gPendingFiles)
        if (file.inUse && file.folderFd == folderFd && name == file.name)
            file.inUse = 0;
}

TerminationSignalsBlocked::TerminationSignalsBlocked()
{
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kCleanupSignals)
        sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &mPrevious);
}

TerminationSignalsBlocked::~TerminationSignalsBlocked()
{
    ::sigprocmask(SIG_SETMASK, &mPrevious, nullptr);
}
