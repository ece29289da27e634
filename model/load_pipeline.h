// Reads a large file on two threads. A helper reads the file and turns its lines into their
// words, a block of lines at a time, while the calling thread applies the words of the
// blocks before, in file order. The toolpath and the progress display are touched by the
// calling thread alone and see exactly what one thread would give them.
//
// The protocol, as calls in order (interpretOnTwoThreads makes them):
//   1. openSharedLoad, once, before the helper starts;
//   2. on the helper: readLineWords for every stretch of the file in file order, then
//      finishLineWords, once, also when readLineWords has said stop;
//   3. at the same time, on the calling thread: applyLineWords, once;
//   4. the helper is joined; then closeSharedLoad.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "model/load_pass.h"
#include "platform/fan_out.h"

// The ring's sizes. Storing the moves (with the kernel making their pages) takes about as
// long as reading the lines; to even out what is left, each block also passes on a stretch
// of lines as text, which the calling thread reads itself: longer while it waits for
// blocks, shorter while the helper waits for room. Tests make these small, so that the
// ring wraps and a load stops on a few lines.
struct LoadRingSizes {
    std::size_t linesPerBlock = 16384; // lines a block holds as words, at least 1
    std::int64_t blocks = 4;           // blocks read ahead of the one being applied: 1 to MaxRingBlocks
    std::size_t textPerBlock = 65536;  // bytes of lines a block passes on as text, at most
    std::size_t textStep = 4096;       // the step the text's share moves by; divides textPerBlock
};

extern LoadRingSizes loadRingSizes; // the sizes the next load takes

namespace gcode_lines {

constexpr std::int64_t MaxRingBlocks = 16;

// One room of the ring, holding block k when k % blocks is its index. The helper writes it
// while it fills the block (applied + blocks > k >= filled), the calling thread while it
// applies the block (filled > k >= applied); the handing over under the mutex orders the two.
struct RingRoom {
    std::int64_t offset = 0; // where the block's first line starts in the file
    std::size_t count = 0;   // its lines, as words in `lines`
    LineWords* lines = nullptr;
    // The lines after those, unread, ending in a line feed.
    std::int64_t textOffset = 0;
    std::size_t textSize = 0;
    unsigned char* text = nullptr;
};

// Everything the two threads share. The sizes and the rooms' storage are set by
// openSharedLoad and only read after it; the rooms' contents belong to one thread at a
// time as RingRoom says; the fields below `mutex` are read and written under it alone.
// Invariants, whenever the mutex is free:
//   0 <= applied <= filled <= applied + blocks    (the ring never holds more than its rooms)
//   textShare <= textPerBlock, a multiple of textStep
//   stop only after the calling thread has applied its last block; finished only once
//   the helper hands over nothing more.
struct SharedLoad {
    LoadRingSizes sizes;
    RingRoom rooms[MaxRingBlocks];
    LineWords* lineStorage = nullptr; // every room's lines, one allocation
    unsigned char* textStorage = nullptr;

    std::mutex mutex;
    std::condition_variable changed; // notified at every change of the fields below
    std::int64_t filled = 0;         // blocks handed over
    std::int64_t applied = 0;        // blocks applied, their rooms free again
    std::size_t textShare = 0;       // bytes of text a block passes on, at most
    bool finished = false;           // the helper has handed over its last block
    bool stop = false;               // the calling thread wants no more blocks

    // The helper's alone: it holds lines in a block not yet handed over. The count of that
    // block's room is no help once the room is full, as the calling thread may be emptying it.
    bool filling = false;
};

// Makes the rooms for the sizes in loadRingSizes; false without the memory for them.
bool openSharedLoad(SharedLoad& shared);
// Frees the rooms, once the helper is joined.
void closeSharedLoad(SharedLoad& shared);

// The helper's side: turns the lines of a stretch into words in the block being filled,
// handing each block over when it is full. false once the calling thread has asked it to stop.
bool readLineWords(SharedLoad& shared, const unsigned char* begin, const unsigned char* end,
                   std::int64_t offset);
// The helper's last step: hands over the block it was filling, if any, and says it is done.
void finishLineWords(SharedLoad& shared);
// The calling thread's side: applies the blocks in order until the helper is done or the
// load stops.
void applyLineWords(Load& load, SharedLoad& shared);

// Interprets the stretches that `forEachStretch` hands, one after the other, to the callback
// it is given (which takes them as interpretLines does and returns false when the reading
// should stop) on two threads. false, with nothing read, when no helper thread or no
// memory for the ring can be had: the caller then reads the file on this thread alone.
template <typename ForEachStretch>
bool interpretOnTwoThreads(Load& load, ForEachStretch& forEachStretch)
{
    SharedLoad shared;
    if (!openSharedLoad(shared))
        return false;
    std::thread helper;
    const bool started = startThread(helper, [&] {
        forEachStretch([&](const unsigned char* begin, const unsigned char* end, std::int64_t offset) {
            return readLineWords(shared, begin, end, offset);
        });
        finishLineWords(shared);
    });
    if (started) {
        applyLineWords(load, shared);
        helper.join();
    }
    closeSharedLoad(shared);
    return started;
}

} // namespace gcode_lines
