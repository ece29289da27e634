// Reads a large file on two threads: the helper's side, the calling thread's side, and the
// ring of blocks between them.
#include "model/load_pipeline.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

LoadRingSizes loadRingSizes;

namespace gcode_lines {

namespace {

// What must hold of the shared fields whenever the mutex is free; checked with it held.
void checkRing(const SharedLoad& shared)
{
    assert(0 <= shared.applied && shared.applied <= shared.filled &&
           shared.filled - shared.applied <= shared.sizes.blocks);
    assert(shared.textShare <= shared.sizes.textPerBlock &&
           shared.textShare % shared.sizes.textStep == 0);
    (void)shared;
}

// Every room holds a block handed over and not yet applied: the helper must wait.
bool ringFull(const SharedLoad& shared)
{
    return shared.filled - shared.applied == shared.sizes.blocks;
}

// The helper may fill the next block, or must give up.
bool helperMayGoOn(const SharedLoad& shared)
{
    return shared.stop || !ringFull(shared);
}

// Block `next` has been handed over, or none will be.
bool blockReadyOrNoMore(const SharedLoad& shared, std::int64_t next)
{
    return shared.filled > next || shared.finished;
}

RingRoom& roomOf(SharedLoad& shared, std::int64_t block)
{
    return shared.rooms[block % shared.sizes.blocks];
}

// Passes on the whole lines within the first `most` bytes at `cursor` as the room's text;
// returns where they end.
const unsigned char* passOnText(RingRoom& room, const unsigned char* cursor, std::size_t most,
                                std::int64_t offset)
{
    const auto* lastFeed = static_cast<const unsigned char*>(memrchr(cursor, LineFeed, most));
    if (lastFeed == nullptr)
        return cursor;
    room.textOffset = offset;
    room.textSize = static_cast<std::size_t>(lastFeed + 1 - cursor);
    std::memcpy(room.text, cursor, room.textSize);
    return lastFeed + 1;
}

} // namespace

bool openSharedLoad(SharedLoad& shared)
{
    LoadRingSizes sizes = loadRingSizes;
    assert(sizes.linesPerBlock > 0 && sizes.blocks > 0 && sizes.blocks <= MaxRingBlocks &&
           sizes.textStep > 0 && sizes.textPerBlock % sizes.textStep == 0);
    const auto blocks = static_cast<std::size_t>(sizes.blocks);
    shared.sizes = sizes;
    shared.lineStorage = new (std::nothrow) LineWords[blocks * sizes.linesPerBlock];
    shared.textStorage = new (std::nothrow) unsigned char[blocks * sizes.textPerBlock];
    if (shared.lineStorage == nullptr || shared.textStorage == nullptr) {
        closeSharedLoad(shared);
        return false;
    }
    for (std::size_t i = 0; i < blocks; ++i) {
        shared.rooms[i].lines = shared.lineStorage + i * sizes.linesPerBlock;
        shared.rooms[i].text = shared.textStorage + i * sizes.textPerBlock;
    }
    shared.textShare = std::min(4 * sizes.textStep, sizes.textPerBlock);
    return true;
}

void closeSharedLoad(SharedLoad& shared)
{
    delete[] shared.lineStorage;
    delete[] shared.textStorage;
    shared.lineStorage = nullptr;
    shared.textStorage = nullptr;
}

bool readLineWords(SharedLoad& shared, const unsigned char* begin, const unsigned char* end,
                   std::int64_t offset)
{
    const LoadRingSizes& sizes = shared.sizes;
    const std::size_t linesPerBlock = sizes.linesPerBlock;
    const unsigned char* cursor = begin;
    while (cursor < end) {
        std::int64_t next;
        std::size_t textShare;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            // The calling thread is behind: each block passes on less text.
            if (ringFull(shared) && shared.textShare > 0)
                shared.textShare -= sizes.textStep;
            shared.changed.wait(lock, [&] { return helperMayGoOn(shared); });
            checkRing(shared);
            if (shared.stop)
                return false;
            next = shared.filled;
            textShare = shared.textShare;
        }
        RingRoom& room = roomOf(shared, next);
        if (room.count == 0)
            room.offset = offset + (cursor - begin);
        while (cursor < end && room.count < linesPerBlock) {
            LineWords& line = room.lines[room.count++];
            line = NoWords;
            // A block spans less than the largest file, so the distance fits.
            line.start = static_cast<std::uint32_t>(offset + (cursor - begin) - room.offset);
            cursor = scanLine(cursor, end, line);
            ++cursor;
        }
        shared.filling = room.count < linesPerBlock;
        if (!shared.filling) {
            const std::size_t most = std::min<std::size_t>(textShare, end - cursor);
            if (most > 0)
                cursor = passOnText(room, cursor, most, offset + (cursor - begin));
            const std::lock_guard<std::mutex> lock(shared.mutex);
            assert(shared.filled == next); // no one else hands blocks over
            ++shared.filled;
            checkRing(shared);
            shared.changed.notify_all();
        }
    }
    return true;
}

void finishLineWords(SharedLoad& shared)
{
    const std::lock_guard<std::mutex> lock(shared.mutex);
    assert(!shared.finished);
    if (!shared.stop && shared.filling)
        ++shared.filled;
    shared.finished = true;
    checkRing(shared);
    shared.changed.notify_all();
}

void applyLineWords(Load& load, SharedLoad& shared)
{
    const LoadRingSizes& sizes = shared.sizes;
    for (std::int64_t next = 0;; ++next) {
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            // The helper is behind: each block passes on more text.
            if (shared.filled == next && !shared.finished && next > 0)
                shared.textShare = std::min(shared.textShare + sizes.textStep, sizes.textPerBlock);
            shared.changed.wait(lock, [&] { return blockReadyOrNoMore(shared, next); });
            checkRing(shared);
            assert(shared.applied == next && !shared.stop); // blocks are applied once, in order
            if (shared.filled <= next)
                return;
        }
        RingRoom& room = roomOf(shared, next);
        for (std::size_t i = 0; i < room.count && !load.stopped; ++i) {
            countLine(load, room.offset + room.lines[i].start);
            load.stopped = !endLine(load.modes, room.lines[i]);
        }
        if (room.textSize > 0 && !load.stopped)
            interpretLines(load, room.text, room.text + room.textSize, room.textOffset);
        room.count = 0;
        room.textSize = 0;
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.applied = next + 1;
        shared.stop = load.stopped;
        checkRing(shared);
        shared.changed.notify_all();
        if (load.stopped)
            return;
    }
}

} // namespace gcode_lines
