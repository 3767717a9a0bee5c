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

// For a program that runs an event loop instead: from the first call, SIGINT and SIGTERM
// no longer end the process but make the returned descriptor readable; watch it, and
// call vDrainStopRequests when it is. Later calls return the same descriptor. -1 when
// the system offers none to watch (Windows: use eWaitProcessRequest).
int iStopRequestDescriptor();
// Takes the pending requests off the descriptor, so that it is quiet until the next.
void vDrainStopRequests();

// Makes sure the process may hold `handles` open files and sockets at once, raising
// its own limit when the system has one it may raise. false with a reason in error
// when it cannot.
bool fgEnsureHandleLimit(std::size_t handles, std::string& error);
