#include "termination_cleanup.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

namespace {

constexpr size_t kLongestFileName = 255; // NAME_MAX of Linux file systems
constexpr int kMostPendingFiles = 8;     // a tool holds two at a time at the most
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

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

} // namespace

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
