#pragma once

#include <cstddef>
#include <string>

// What a long-running program is asked to do from outside.
enum class EProcessRequest {
    Stop,      // SIGINT, SIGTERM; Ctrl+C, closing the console
    Announce,  // SIGUSR1; Ctrl+Break
};

// Takes the requests above away from their default handling, for eWaitProcessRequest.
// Call before any thread starts: on POSIX the signals are blocked for every thread.
void vPrepareProcessRequests();
// Waits for the next request. vPrepareProcessRequests first.
EProcessRequest eWaitProcessRequest();

// Makes sure the process may hold `handles` open files and sockets at once, raising
// its own limit when the system has one it may raise. false with a reason in error
// when it cannot.
bool fgEnsureHandleLimit(std::size_t handles, std::string& error);
