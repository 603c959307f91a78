// The process-wide list of named temporary files that SIGINT, SIGTERM and
// SIGHUP remove before the process ends, and a guard that holds those
// signals back.
#pragma once

#include <signal.h>

#include <string>

// Registering installs the handlers on first use; a signal the process
// ignores at that moment stays ignored. A name longer than NAME_MAX, or a
// ninth file, is refused (false). A handler that runs meanwhile, in this
// thread or another, sees a file either registered whole or not at all.
bool registerTemporaryFile(int folderFd, const std::string& name);
void unregisterTemporaryFile(int folderFd, const std::string& name);

// Holds SIGINT, SIGTERM and SIGHUP back from the calling thread for its
// lifetime, so that a short sequence of file-system calls is never cut in
// two by a handler in this thread. A process-directed signal may still be
// handled by another thread that does not hold it back.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked();
    ~TerminationSignalsBlocked();
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t mPrevious; // the signal mask before
};
