// Lets a test make allocations fail as they do without memory: the global operator new of
// the test program throws std::bad_alloc (and its nothrow forms return null) while one of
// these is set.
#pragma once

#include <atomic>
#include <cstddef>

// Allocations of at least this many bytes fail, on every thread; 0: none do.
extern std::atomic<std::size_t> failAllocationsFrom;

// Allocations of fewer bytes than this fail on the thread that set it; 0: none do.
extern thread_local std::size_t failAllocationsBelow;
