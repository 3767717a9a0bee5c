#include "platform/process.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

namespace {
sigset_t sRequestSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    return signals;
}
}  // namespace

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
