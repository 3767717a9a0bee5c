#include "platform/process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace {
sigset_t sRequestSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    return signals;
}

// The signal handler's way to the event loop: one byte per signal into a pipe.
int g_stopPipe[2] = {-1, -1};

void vOnStopSignal(int) {
    const int savedErrno = errno;
    const char byte = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(g_stopPipe[1], &byte, 1);
    errno = savedErrno;
}
}  // namespace

int iStopRequestDescriptor() {
    static const int descriptor = [] {
        if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            return -1;
        }
        struct sigaction action {};
        action.sa_handler = &vOnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
        return g_stopPipe[0];
    }();
    return descriptor;
}

void vDrainStopRequests() {
    if (g_stopPipe[0] < 0) {
        return;
    }
    char drained[16];
    while (::read(g_stopPipe[0], drained, sizeof drained) > 0) {
    }
}

void vPrepareProcessRequests() {
    const sigset_t signals = sRequestSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

EProcessRequest eWaitProcessRequest() {
    const sigset_t signals = sRequestSignals();
    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        return received == SIGUSR1 ? EProcessRequest::Announce : EProcessRequest::Stop;
    }
}

bool fgEnsureHandleLimit(std::size_t handles, std::string& error) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return true;
    }
    const auto wanted = static_cast<rlim_t>(handles);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted) {
        return true;
    }
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted) {
        error = std::to_string(wanted) + " open files are needed but the limit is " +
                std::to_string(limit.rlim_max);
        return false;
    }
    limit.rlim_cur = wanted;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
        error = "cannot raise the open-file limit to " + std::to_string(wanted);
        return false;
    }
    return true;
}
