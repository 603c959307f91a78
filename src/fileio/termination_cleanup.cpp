#include "termination_cleanup.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <mutex>

namespace {

constexpr size_t kLongestFileName = 255; // NAME_MAX of Linux file systems
constexpr int kMostPendingFiles = 8;     // a tool holds two at a time at the most
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A slot is claimed (so that two threads never fill one), then filled, then
// marked in use; the handler reads only slots marked in use, and the mark is
// stored after the fields with release order, so it never sees half a name.
enum SlotState : int { kFree, kClaimed, kInUse };
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the state");

struct PendingFile {
    std::atomic<int> state;          // SlotState
    int folderFd;                    // folder the file was made in
    char name[kLongestFileName + 1]; // its name there
};

PendingFile gPendingFiles[kMostPendingFiles];
struct sigaction gPreviousActions[std::size(kCleanupSignals)];

// Removes every pending temporary file, then lets the signal do what it
// would have done without us.
void removePendingFiles(int signal)
{
    const int savedErrno = errno;
    for (PendingFile& file : gPendingFiles)
        if (file.state.load(std::memory_order_acquire) == kInUse)
            ::unlinkat(file.folderFd, file.name, 0);
    for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
        if (kCleanupSignals[i] == signal)
            ::sigaction(signal, &gPreviousActions[i], nullptr);
    errno = savedErrno;
    ::raise(signal); // delivered with the previous action once this handler returns
}

void installHandlersOnce()
{
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

void installCleanupHandlers()
{
    static std::once_flag installed;
    std::call_once(installed, installHandlersOnce);
}

} // namespace

bool registerTemporaryFile(int folderFd, const std::string& name)
{
    if (name.size() > kLongestFileName)
        return false;
    installCleanupHandlers();
    for (PendingFile& file : gPendingFiles) {
        int expected = kFree;
        if (!file.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire))
            continue;
        file.folderFd = folderFd;
        std::memcpy(file.name, name.c_str(), name.size() + 1);
        file.state.store(kInUse, std::memory_order_release);
        return true;
    }
    return false;
}

void unregisterTemporaryFile(int folderFd, const std::string& name)
{
    for (PendingFile& file : gPendingFiles)
        if (file.state.load(std::memory_order_acquire) == kInUse && file.folderFd == folderFd && name == file.name)
            file.state.store(kFree, std::memory_order_release);
}

TerminationSignalsBlocked::TerminationSignalsBlocked()
{
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kCleanupSignals)
        sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &mPrevious);
}

TerminationSignalsBlocked::~TerminationSignalsBlocked()
{
    ::pthread_sigmask(SIG_SETMASK, &mPrevious, nullptr);
}
