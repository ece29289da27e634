// Runs work on threads of its own and joins them before it returns, so that the rest of
// the program never holds a thread; a thread that cannot be started leaves its work to
// the calling thread.
#pragma once

#include <cassert>
#include <new>
#include <system_error>
#include <thread>

constexpr int MaxShares = 64; // threads of one runShares, at most

// Starts `work` on a thread of its own in `thread`; false when no thread can be started (the
// standard library says so only by throwing, for want of a thread or of memory), and the
// caller does the work itself.
template <typename Work>
bool startThread(std::thread& thread, Work&& work)
{
    try {
        thread = std::thread(std::forward<Work>(work));
        return true;
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

// Runs share(0) to share(count - 1) at once and returns when all are done: share 0 on this
// thread, every other on a thread of its own, or on this thread before share 0 when its
// thread cannot be started. Nothing is allocated but the threads themselves.
template <typename Share>
void runShares(int count, Share&& share)
{
    assert(count <= MaxShares);
    std::thread helpers[MaxShares];
    for (int index = 1; index < count; ++index) {
        if (!startThread(helpers[index], [&share, index] { share(index); }))
            share(index);
    }
    share(0);
    for (std::thread& helper : helpers) {
        if (helper.joinable())
            helper.join();
    }
}
