#pragma once

// Waiting in tests for a condition another thread makes true: polled every few
// milliseconds until it holds or the (generous) deadline passes. Never a fixed sleep
// followed by an assertion.

#include <chrono>
#include <thread>

// True as soon as done() holds; false when timeout passed first.
template <typename TDone>
bool fgWaitUntil(TDone done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
