// Reads a G-code file into the toolpath store: a first load a piece at a time, a reload
// whole before it touches the toolpath, a large file on two threads.
#include "model/interpreter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/job_stats.h"
#include "model/line_words.h"
#include "model/load_pass.h"
#include "model/load_pipeline.h"
#include "model/toolpath.h"
#include "platform/paths.h"

using namespace gcode_lines;

namespace {

constexpr std::int64_t LargestFileSize = 2147483645; // size + 2 must fit a signed 32-bit count

// Reads the whole of `size` bytes (fewer if the file shrinks) into `buffer`; the count read.
std::size_t readAll(int fd, unsigned char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return done; // the rest of the buffer stays zero
        done += static_cast<std::size_t>(got);
    }
    return done;
}

// The file buffer: an anonymous mapping, zero-filled, so that a file that shrinks while it
// is read leaves zeros, skipped like noise. Its pages are made in one go when it is mapped
// (the read fills every one of them anyway) rather than by one fault per 4 KiB during the
// read. Huge pages were tried and are slower on virtual machines that hand freed memory
// back to their host. null on failure.
unsigned char* mapBuffer(std::size_t bytes)
{
    void* buffer =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return buffer == MAP_FAILED ? nullptr : static_cast<unsigned char*>(buffer);
}

// The buffer a first load reads into, a piece of the file at a time.
struct Piece {
    unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Makes the piece `bytes` long, keeping its contents; false, and the piece as it was, when
// the memory cannot be had.
bool growPiece(Piece& piece, std::size_t bytes)
{
    void* grown = std::realloc(piece.data, bytes);
    if (grown == nullptr)
        return false;
    piece.data = static_cast<unsigned char*>(grown);
    piece.size = bytes;
    return true;
}

} // namespace

double readWordNumber(const unsigned char*& cursor, const unsigned char* end)
{
    return gcode_lines::readNumber<WithEndChecks>(cursor, end);
}

bool loadArcs = false;
std::size_t loadPieceBytes = std::size_t{1} << 20;
// A second core pays from a few megabytes on: below that the load is over in milliseconds.
std::size_t loadSharedBytes = std::thread::hardware_concurrency() > 1
                                  ? std::size_t{4} << 20
                                  : std::numeric_limits<std::size_t>::max();

namespace {

// Interprets the stretches of text that `forEachStretch` hands, one after the other, to the
// callback it is given. The callback takes (begin, end, offset) as interpretLines does and
// returns false when the reading should stop. A large file takes two threads.
template <typename ForEachStretch>
void interpretStretches(Load& load, std::size_t size, ForEachStretch forEachStretch)
{
    if (size >= loadSharedBytes && interpretOnTwoThreads(load, forEachStretch))
        return;
    forEachStretch([&](const unsigned char* begin, const unsigned char* end, std::int64_t offset) {
        return interpretLines(load, begin, end, offset);
    });
}

} // namespace

bool interpretGcodeBuffer(unsigned char* buffer, std::size_t size, const std::string& name)
{
    buffer[size] = LineFeed; // the last line always ends
    buffer[size + 1] = 0;
    Load load;
    beginLoad(load, name, static_cast<std::int64_t>(size));
    interpretStretches(load, size, [&](auto&& toStretch) { toStretch(buffer, buffer + size + 1, 0); });
    endOfLoadStep();
    return !load.stopped;
}

namespace {

// A first load reads the file a piece at a time and hands each piece's complete lines to
// `toStretch` before it reads the next: the piece stays in the processor's cache, and no
// buffer the size of the file is made. A file that shrinks while it is read ends where the
// reading ends, as the zeros a whole-file buffer would hold there are skipped like noise.
template <typename ToStretch>
void readPieces(int fd, std::size_t size, Piece& piece, ToStretch&& toStretch)
{
    std::size_t pending = 0;   // bytes of an unfinished line at the start of the piece
    std::size_t readSoFar = 0; // bytes of the file read
    std::int64_t offset = 0;   // where the piece starts in the file
    // The last piece: what is left, its last line ended by an added line feed.
    const auto toStretchRest = [&](std::size_t filled) {
        piece.data[filled] = LineFeed;
        piece.data[filled + 1] = 0;
        toStretch(piece.data, piece.data + filled + 1, offset);
    };
    for (;;) {
        // Two bytes stay free for the added line feed and a zero.
        const std::size_t room = std::min(piece.size - 2 - pending, size - readSoFar);
        const std::size_t got = readAll(fd, piece.data + pending, room);
        readSoFar += got;
        const std::size_t filled = pending + got;
        if (got < room || readSoFar == size) { // the end of what can be read
            toStretchRest(filled);
            return;
        }
        const auto* lastFeed = static_cast<const unsigned char*>(memrchr(piece.data, LineFeed, filled));
        if (lastFeed == nullptr) {
            // One line longer than the piece: the piece grows until the line fits. Without
            // the memory for that, what was read is the end of the file.
            const std::size_t larger = std::min(2 * piece.size, size + 2);
            if (larger > piece.size && growPiece(piece, larger)) {
                pending = filled;
                continue;
            }
            toStretchRest(filled);
            return;
        }
        const std::size_t lines = static_cast<std::size_t>(lastFeed - piece.data) + 1;
        if (!toStretch(piece.data, piece.data + lines, offset))
            return;
        offset += static_cast<std::int64_t>(lines);
        pending = filled - lines;
        std::memmove(piece.data, piece.data + lines, pending);
    }
}

// Why a file cannot be opened, from open's errno.
ReloadResult openFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return ReloadResult::Gone;
    case EMFILE:
    case ENFILE: return ReloadResult::TooManyFiles;
    case ENOMEM: return ReloadResult::OutOfMemory;
    default: return ReloadResult::Unreadable;
    }
}

// Reads the file into the toolpath: a first load piece by piece, a reload whole into memory

// Opens `path` for a load: a regular file of at most LargestFileSize bytes, its descriptor
// in `fd` and its size and time in `status`. Loaded when it is; else why not, and nothing
// is left open.
ReloadResult openGcodeFile(const std::string& path, int& fd, struct stat& status)
{
    // Non-blocking so that a FIFO or device cannot hang the open; only regular files load.
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return openFailure(errno);
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        close(fd);
        return ReloadResult::Unreadable;
    }
    if (status.st_size > LargestFileSize) {
        close(fd);
        return ReloadResult::TooLarge;
    }
    return ReloadResult::Loaded;
}

} // namespace

bool loadCutShort = false;

// A first load reads the file piece by piece straight into the toolpath. An empty file is
// read like any other.
bool loadGcodeFile(const std::string& path)
{
    loadCutShort = false;
    int fd = -1;
    struct stat status;
    if (openGcodeFile(path, fd, status) != ReloadResult::Loaded)
        return false;
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    Piece piece;
    if (!growPiece(piece, std::min(std::max<std::size_t>(loadPieceBytes, 16), size + 2))) {
        close(fd);
        return false;
    }
    const std::string name = filePart(path);
    Load load;
    beginLoad(load, name, static_cast<std::int64_t>(size));
    interpretStretches(load, size, [&](auto&& toStretch) { readPieces(fd, size, piece, toStretch); });
    endOfLoadStep();
    std::free(piece.data);
    close(fd);
    loadCutShort = load.stopped;
    return true;
}

// A reload reads the whole file before it touches the toolpath, so that a file still being
// written leaves the drawing as it was: one that changed during the read is refused. An
// empty file is read like any other: the caller waits for a file to settle before it
// reloads it, so one left empty was emptied on purpose.
ReloadResult reloadGcodeFile(const std::string& path)
{
    int fd = -1;
    struct stat status;
    const ReloadResult opened = openGcodeFile(path, fd, status);
    if (opened != ReloadResult::Loaded)
        return opened;
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    const std::size_t bytes = size + 2;
    unsigned char* buffer = mapBuffer(bytes);
    if (buffer == nullptr) {
        close(fd);
        return ReloadResult::OutOfMemory;
    }
    const std::size_t got = readAll(fd, buffer, size);
    struct stat after;
    const bool changed = fstat(fd, &after) != 0 || after.st_size != status.st_size ||
                         after.st_mtim.tv_sec != status.st_mtim.tv_sec ||
                         after.st_mtim.tv_nsec != status.st_mtim.tv_nsec;
    close(fd);
    if (got != size || changed) {
        munmap(buffer, bytes);
        return ReloadResult::CutShort;
    }
    // The new version goes into storage of its own, so that one whose moves do not fit in
    // memory leaves the shown one whole.
    Toolpath shown;
    if (!setToolpathAside(shown)) {
        munmap(buffer, bytes);
        return ReloadResult::OutOfMemory;
    }
    const bool whole = interpretGcodeBuffer(buffer, size, filePart(path));
    munmap(buffer, bytes);
    endToolpathAside(shown, !whole);
    return whole ? ReloadResult::Loaded : ReloadResult::OutOfMemory;
}
