// Reads a G-code file into the toolpath store in one pass.
#include "model/interpreter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/job_stats.h"
#include "model/loading_progress.h"
#include "model/motion.h"
#include "model/toolpath.h"
#include "model/units.h"
#include "platform/paths.h"

namespace {

constexpr unsigned char LineFeed = 10;
constexpr std::int64_t LargestFileSize = 2147483645; // size + 2 must fit a signed 32-bit count
constexpr std::int64_t ProgressLineStep = 20000;     // lines between two progress checks
constexpr int NoCode = -1;                           // a G or M value that matches no code we act on

// Everything that persists from line to line during one load.
struct Modes {
    double x = 0.0, y = 0.0; // current position, millimetres
    double unitFactor = 1.0; // 25.4 after G20
    bool relative = false;   // G91
    int motionMode = NoMotion; // last G0..G3 in force
    bool powerOn = true;     // M3/M4 on, M5 off
    double power = 0.0;      // S as written
    double feed = 0.0;       // F as written
};

// What one line says: the last value of each word that counts. A line is read into this
// without the modes, so that pieces of a file can be read apart and applied in order.
struct LineWords {
    double x = 0.0, y = 0.0;     // X and Y as written
    double power = 0.0;          // S
    double feed = 0.0;           // F
    std::int64_t offset = 0;     // where the line starts in the file, for the progress
    std::uint8_t seen = 0;       // SeenX | SeenY | SeenS | SeenF
    std::int8_t motionCode = NoMotion;
    std::uint8_t units = 0;      // 0, or 20 / 21 (G20 / G21)
    std::uint8_t distance = 0;   // 0, or 90 / 91 (G90 / G91)
    std::uint8_t spindle = 0;    // 0, or 3 (M3 / M4) / 5 (M5)
};
constexpr std::uint8_t SeenX = 1, SeenY = 2, SeenS = 4, SeenF = 8;

// Loading progress for one load.
struct Progress {
    const std::string* name = nullptr;
    std::int64_t fileSize = 0;
    int lastPercent = -1;
};

inline bool isDigit(unsigned char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// ASCII letters only; bytes above 127 are never letters.
inline bool isLetter(unsigned char c)
{
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}

inline unsigned char upperCase(unsigned char letter)
{
    return letter & 0xDF;
}

// The value truncated toward zero, as a code we know, without converting a huge,
// infinite or NaN value to an integer: every code we act on is below 100.
inline int wordCode(double value)
{
    if (!(value > -1000.0 && value < 1000.0))
        return NoCode;
    return static_cast<int>(value);
}

inline void showProgress(const Progress& progress, int percent)
{
    if (loadingProgressHook != nullptr)
        loadingProgressHook(*progress.name, percent);
}

// At every 20000th line: the share of the file before this line, shown when it changes.
inline void checkProgress(Progress& progress, std::int64_t offset)
{
    if (progress.fileSize <= 0)
        return;
    const int percent = static_cast<int>(offset * 100 / progress.fileSize);
    if (percent != progress.lastPercent) {
        progress.lastPercent = percent;
        showProgress(progress, percent);
    }
}

// The number reader. Inside a load the buffer's final line feed stops every loop below,
// so the scan leaves out the end checks (a tenth of the load time); the public
// readWordNumber keeps them for any other caller.
constexpr bool WithEndChecks = true;
constexpr bool UpToLineFeed = false;

// The fraction digits' terms d / 10^k, made at compile time by the same steps the reader
// defines (the power of ten multiplied up, then one division), so a lookup gives the very
// bits the division would without paying for a division per digit.
constexpr int TabledFractionDigits = 24;
constexpr int ExactWholeDigits = 15; // 10^15 - 1 < 2^53: every whole-part step is exact

struct FractionTerms {
    double term[TabledFractionDigits + 1][10];
    double denominator[TabledFractionDigits + 1];
};

constexpr FractionTerms makeFractionTerms()
{
    FractionTerms terms{};
    double denominator = 1.0;
    for (int k = 1; k <= TabledFractionDigits; ++k) {
        denominator *= 10.0;
        terms.denominator[k] = denominator;
        for (int d = 0; d < 10; ++d)
            terms.term[k][d] = d / denominator;
    }
    return terms;
}

constexpr FractionTerms fractionTerms = makeFractionTerms();
static_assert(fractionTerms.term[1][1] == 0.1 && fractionTerms.term[3][7] == 7 / 1000.0);

template <bool CheckEnd>
inline double readNumber(const unsigned char*& cursor, const unsigned char* end)
{
    const auto more = [&] { return !CheckEnd || cursor < end; };
    double value = 0.0;
    bool negative = false;
    while (more() && (*cursor == ' ' || *cursor == '\t'))
        ++cursor;
    if (more() && *cursor == '-') {
        negative = true;
        ++cursor;
    } else if (more() && *cursor == '+') {
        ++cursor;
    }
    // The whole part is value * 10 + d per digit in doubles. Up to 15 digits every step is
    // exact (below 2^53), so an integer gives the same bits without a floating-point
    // multiply and add in series per digit; longer runs go on in doubles from there.
    std::uint64_t whole = 0;
    int wholeDigits = 0;
    while (more() && isDigit(*cursor) && wholeDigits < ExactWholeDigits) {
        whole = whole * 10 + static_cast<unsigned>(*cursor - '0');
        ++wholeDigits;
        ++cursor;
    }
    value = static_cast<double>(whole);
    while (more() && isDigit(*cursor)) {
        value = value * 10.0 + (*cursor - '0');
        ++cursor;
    }
    if (more() && *cursor == '.') {
        ++cursor;
        // Each fraction digit adds d / 10^k, rounded at every step: no library conversion.
        int k = 0;
        while (more() && isDigit(*cursor)) {
            if (++k > TabledFractionDigits)
                break;
            value = value + fractionTerms.term[k][*cursor - '0'];
            ++cursor;
        }
        if (k > TabledFractionDigits) {
            double denominator = fractionTerms.denominator[TabledFractionDigits];
            while (more() && isDigit(*cursor)) {
                denominator *= 10.0;
                value = value + (*cursor - '0') / denominator;
                ++cursor;
            }
        }
    }
    return negative ? -value : value;
}

inline void applyWord(unsigned char letter, double value, LineWords& line)
{
    switch (letter) {
    case 'G': {
        const int code = wordCode(value);
        switch (code) {
        case RapidMotion:
        case LinearMotion:
        case ClockwiseArc:
        case CounterClockwiseArc: line.motionCode = static_cast<std::int8_t>(code); break;
        case 20:
        case 21: line.units = static_cast<std::uint8_t>(code); break;
        case 90:
        case 91: line.distance = static_cast<std::uint8_t>(code); break;
        default: break;
        }
        break;
    }
    case 'M':
        switch (wordCode(value)) {
        case 3:
        case 4: line.spindle = 3; break;
        case 5: line.spindle = 5; break;
        default: break;
        }
        break;
    case 'X':
        line.seen |= SeenX;
        line.x = value;
        break;
    case 'Y':
        line.seen |= SeenY;
        line.y = value;
        break;
    case 'S':
        line.seen |= SeenS;
        line.power = value;
        break;
    case 'F':
        line.seen |= SeenF;
        line.feed = value;
        break;
    default: break; // N, Z, I, J, K, R, P, T, E ...: read past
    }
}

inline double endCoordinate(bool seen, double written, double current, const Modes& modes)
{
    if (!seen)
        return current;
    const double distance = written * modes.unitFactor;
    return modes.relative ? current + distance : distance;
}

// Emits one move with its statistics. false when the store is full and cannot grow.
inline bool emitMove(const Modes& modes, double endX, double endY)
{
    const bool travel = modes.motionMode == RapidMotion || !(modes.power > 0.0) || !modes.powerOn;
    powerStep(modes.power, travel);
    if (!appendMove(modes.x, modes.y, endX, endY, modes.power, travel))
        return false;
    timeStep(modes.motionMode, modes.feed, modes.x, modes.y, endX, endY);
    return true;
}

// The line's words take effect here, once the whole line is read: each word's last value on
// the line, so a line's words act in any order alike. false when the load must stop.
inline bool endLine(Modes& modes, const LineWords& line)
{
    if (line.units != 0)
        modes.unitFactor = line.units == 20 ? MillimetresPerInch : 1.0;
    if (line.distance != 0)
        modes.relative = line.distance == 91;
    if (line.spindle != 0)
        modes.powerOn = line.spindle == 3;
    if (line.seen & SeenS)
        modes.power = line.power;
    if (line.seen & SeenF)
        modes.feed = line.feed;
    if (line.motionCode != NoMotion)
        modes.motionMode = line.motionCode;
    if (!(line.seen & (SeenX | SeenY)) || modes.motionMode == NoMotion)
        return true;
    const double endX = endCoordinate((line.seen & SeenX) != 0, line.x, modes.x, modes);
    const double endY = endCoordinate((line.seen & SeenY) != 0, line.y, modes.y, modes);
    if (endX != modes.x || endY != modes.y) {
        if (!emitMove(modes, endX, endY))
            return false;
    }
    modes.x = endX;
    modes.y = endY;
    return true;
}

// Reads the line at `cursor` and leaves the cursor on its line feed. The buffer always
// ends in a line feed before `end`, so every skip below stops at a line feed at the latest.
inline void scanLine(const unsigned char*& cursor, const unsigned char* end, LineWords& line)
{
    for (;;) {
        const unsigned char c = *cursor;
        if (isLetter(c)) {
            ++cursor;
            const double value = readNumber<UpToLineFeed>(cursor, end);
            applyWord(upperCase(c), value, line);
        } else if (c == LineFeed) {
            return;
        } else if (c == ';') {
            cursor = static_cast<const unsigned char*>(std::memchr(cursor, LineFeed, end - cursor));
            return;
        } else if (c == '(') {
            ++cursor;
            while (*cursor != ')' && *cursor != LineFeed)
                ++cursor;
            if (*cursor == ')')
                ++cursor;
        } else {
            ++cursor; // digits, blanks, CR, '%', '/', a stray ')' ...
        }
    }
}

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
    return readNumber<WithEndChecks>(cursor, end);
}

std::size_t loadPieceBytes = std::size_t{1} << 20;

namespace {

// What one load keeps from one piece of the file to the next.
struct Load {
    Modes modes;
    Progress progress;
    std::int64_t linesToCheck = ProgressLineStep;
    bool stopped = false; // out of memory for moves: the moves stored so far stay
};

void beginLoad(Load& load, const std::string& name, std::int64_t size)
{
    clearToolpath();
    load.progress = Progress{&name, size, -1};
    showProgress(load.progress, 0);
}

// Interprets the lines of [begin, end): the byte before `end` is a line feed, and `offset`
// is where `begin` lies in the file.
void interpretLines(Load& load, const unsigned char* begin, const unsigned char* end, std::int64_t offset)
{
    assert(begin < end && end[-1] == LineFeed);
    const unsigned char* cursor = begin;
    while (cursor < end && !load.stopped) {
        LineWords line;
        if (--load.linesToCheck == 0) { // every 20000th line; drawing happens rarer still
            load.linesToCheck = ProgressLineStep;
            checkProgress(load.progress, offset + (cursor - begin));
        }
        scanLine(cursor, end, line);
        ++cursor; // past the line feed
        if (!endLine(load.modes, line))
            load.stopped = true;
    }
}

} // namespace

void interpretGcodeBuffer(unsigned char* buffer, std::size_t size, const std::string& name)
{
    buffer[size] = LineFeed; // the last line always ends
    buffer[size + 1] = 0;
    Load load;
    beginLoad(load, name, static_cast<std::int64_t>(size));
    interpretLines(load, buffer, buffer + size + 1, 0);
    endOfLoadStep();
}

namespace {

// A first load reads the file a piece at a time and interprets each piece's whole lines
// while the next is read: the piece stays in the processor's cache, and no buffer the size
// of the file is made. A file that shrinks while it is read ends where the reading ends,
// as the zeros a whole-file buffer would hold there are skipped like noise.
void streamAndInterpret(int fd, std::size_t size, const std::string& name, Piece& piece)
{
    Load load;
    beginLoad(load, name, static_cast<std::int64_t>(size));
    std::size_t pending = 0;   // bytes of an unfinished line at the start of the piece
    std::size_t readSoFar = 0; // bytes of the file read
    std::int64_t offset = 0;   // where the piece starts in the file
    // The last piece: what is left, its last line ended by an added line feed.
    const auto interpretRest = [&](std::size_t filled) {
        piece.data[filled] = LineFeed;
        piece.data[filled + 1] = 0;
        interpretLines(load, piece.data, piece.data + filled + 1, offset);
    };
    while (!load.stopped) {
        // Two bytes stay free for the added line feed and a zero.
        const std::size_t room = std::min(piece.size - 2 - pending, size - readSoFar);
        const std::size_t got = readAll(fd, piece.data + pending, room);
        readSoFar += got;
        const std::size_t filled = pending + got;
        if (got < room || readSoFar == size) { // the end of what can be read
            interpretRest(filled);
            break;
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
            interpretRest(filled);
            break;
        }
        const std::size_t lines = static_cast<std::size_t>(lastFeed - piece.data) + 1;
        interpretLines(load, piece.data, piece.data + lines, offset);
        offset += static_cast<std::int64_t>(lines);
        pending = filled - lines;
        std::memmove(piece.data, piece.data + lines, pending);
    }
    endOfLoadStep();
}

// Reads `count` bytes at `offset` into `to`; the count read, less at the end of the file.
std::size_t readAt(int fd, unsigned char* to, std::size_t count, std::int64_t offset)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, to + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

// A large first load has helper threads read its pieces, each piece's lines into records
// (what a line says does not depend on the lines before it), while this thread applies
// the records in file order: the modes, the moves and the progress stay on this thread.
constexpr int LoadSlots = 4;         // pieces read ahead of the one being applied, at most
constexpr int MostLoadReaders = 3;   // this thread applies about as fast as three read
constexpr std::size_t ExtraBytes = 4096; // read at a time past a piece to end its last line

struct PieceLines {
    LineWords* lines = nullptr;
    std::size_t count = 0;
    std::size_t capacity = 0;
    bool complete = true; // false: memory ran out in the middle of the piece
};

struct ParallelLoad {
    int fd = -1;
    std::int64_t size = 0;
    std::int64_t pieceBytes = 0;
    std::int64_t pieces = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t nextPiece = 0; // the next piece a reader takes
    std::int64_t applied = 0;   // pieces applied; piece k may fill its slot once k < applied + LoadSlots
    bool stop = false;
    bool ready[LoadSlots] = {};
    PieceLines slots[LoadSlots];
};

// The record for one more line of the piece; null when the memory cannot be had.
LineWords* newLine(PieceLines& piece)
{
    if (piece.count == piece.capacity) {
        const std::size_t larger = piece.capacity < 1024 ? 1024 : 2 * piece.capacity;
        void* grown = std::realloc(piece.lines, larger * sizeof(LineWords));
        if (grown == nullptr)
            return nullptr;
        piece.lines = static_cast<LineWords*>(grown);
        piece.capacity = larger;
    }
    LineWords* line = piece.lines + piece.count++;
    *line = LineWords{};
    return line;
}

// Reads the lines that start in piece k into `out`, with `bytes` as the reader's buffer.
void readPieceLines(const ParallelLoad& load, std::int64_t k, Piece& bytes, PieceLines& out)
{
    out.count = 0;
    out.complete = true;
    const std::int64_t start = k * load.pieceBytes;
    const std::int64_t end = std::min(load.size, start + load.pieceBytes);
    // From the byte before the piece: a line starts at the piece's first byte when that
    // byte is a line feed. Lines that start in the piece are its own, to their line feed.
    const std::int64_t from = k == 0 ? 0 : start - 1;
    const std::size_t wanted = static_cast<std::size_t>(end - from);
    if (bytes.size < wanted + 2 && !growPiece(bytes, wanted + 2)) {
        out.complete = false;
        return;
    }
    std::size_t filled = readAt(load.fd, bytes.data, wanted, from);
    const bool cutShort = filled < wanted; // the file shrank: what was read is all there is
    std::size_t first = 0;
    if (k > 0) {
        const void* feed = std::memchr(bytes.data, LineFeed, filled);
        if (feed == nullptr)
            return; // inside a line that started in an earlier piece
        first = static_cast<std::size_t>(static_cast<const unsigned char*>(feed) - bytes.data) + 1;
    }
    const std::size_t owned = filled; // lines starting before this index are this piece's
    if (first >= owned)
        return;
    // The last line runs on past the piece to its line feed, or to the end of the file.
    bool atEnd = cutShort || end == load.size;
    while (!atEnd && bytes.data[filled - 1] != LineFeed) {
        if (bytes.size < filled + ExtraBytes + 2 &&
            !growPiece(bytes, std::max(2 * bytes.size, filled + ExtraBytes + 2))) {
            out.complete = false;
            return;
        }
        const std::size_t got = readAt(load.fd, bytes.data + filled, ExtraBytes,
                                       from + static_cast<std::int64_t>(filled));
        const void* feed = std::memchr(bytes.data + filled, LineFeed, got);
        filled = feed == nullptr ? filled + got
                                 : static_cast<std::size_t>(static_cast<const unsigned char*>(feed) - bytes.data) + 1;
        atEnd = got < ExtraBytes && feed == nullptr;
    }
    if (bytes.data[filled - 1] != LineFeed)
        bytes.data[filled++] = LineFeed; // the last line always ends
    bytes.data[filled] = 0;
    const unsigned char* cursor = bytes.data + first;
    const unsigned char* const stop = bytes.data + filled;
    while (cursor < bytes.data + owned && cursor < stop) {
        LineWords* line = newLine(out);
        if (line == nullptr) {
            out.complete = false;
            return;
        }
        line->offset = from + (cursor - bytes.data);
        scanLine(cursor, stop, *line);
        ++cursor; // past the line feed
    }
}

// One helper thread: takes the next piece, waits for its slot to be free, reads it.
void readPieces(ParallelLoad* load)
{
    Piece bytes;
    for (;;) {
        std::int64_t k = 0;
        {
            std::unique_lock<std::mutex> lock(load->mutex);
            if (load->stop || load->nextPiece >= load->pieces)
                break;
            k = load->nextPiece++;
            load->changed.wait(lock, [&] { return load->stop || k < load->applied + LoadSlots; });
            if (load->stop)
                break;
        }
        readPieceLines(*load, k, bytes, load->slots[k % LoadSlots]);
        {
            const std::lock_guard<std::mutex> lock(load->mutex);
            load->ready[k % LoadSlots] = true;
        }
        load->changed.notify_all();
    }
    std::free(bytes.data);
}

// Loads the file with helper threads reading ahead. false, with the toolpath untouched,
// when no helper thread can start.
bool interpretInParallel(int fd, std::size_t size, const std::string& name)
{
    ParallelLoad load;
    load.fd = fd;
    load.size = static_cast<std::int64_t>(size);
    load.pieceBytes = static_cast<std::int64_t>(std::max<std::size_t>(loadPieceBytes, 16));
    load.pieces = (load.size + load.pieceBytes - 1) / load.pieceBytes;
    const int readers =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, MostLoadReaders);
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(readers));
    for (int i = 0; i < readers; ++i) {
        // The standard library reports a thread it cannot start only by throwing; fewer
        // readers then do the work, and with none the caller reads on this thread.
        try {
            helpers.emplace_back(readPieces, &load);
        } catch (const std::system_error&) {
            break;
        }
    }
    if (helpers.empty())
        return false;

    Load state;
    beginLoad(state, name, load.size);
    for (std::int64_t k = 0; k < load.pieces && !state.stopped; ++k) {
        const int slot = static_cast<int>(k % LoadSlots);
        {
            std::unique_lock<std::mutex> lock(load.mutex);
            load.changed.wait(lock, [&] { return load.ready[slot]; });
        }
        const PieceLines& piece = load.slots[slot];
        for (std::size_t i = 0; i < piece.count && !state.stopped; ++i) {
            const LineWords& line = piece.lines[i];
            if (--state.linesToCheck == 0) { // every 20000th line, as a single reader does
                state.linesToCheck = ProgressLineStep;
                checkProgress(state.progress, line.offset);
            }
            if (!endLine(state.modes, line))
                state.stopped = true; // out of memory for moves: keep those stored
        }
        if (!piece.complete)
            state.stopped = true; // out of memory for the records: the file ends here
        {
            const std::lock_guard<std::mutex> lock(load.mutex);
            load.ready[slot] = false;
            load.applied = k + 1;
        }
        load.changed.notify_all();
    }
    {
        const std::lock_guard<std::mutex> lock(load.mutex);
        load.stop = true;
    }
    load.changed.notify_all();
    for (std::thread& helper : helpers)
        helper.join();
    for (PieceLines& piece : load.slots)
        std::free(piece.lines);
    endOfLoadStep();
    return true;
}

// One read of a file into memory, then the toolpath. A file that must be whole (a reload)
// is refused before the toolpath is touched when it is empty or changed during the read.
ReloadResult readAndInterpret(const std::string& path, bool mustBeWhole)
{
    const std::string name = filePart(path);
    // Non-blocking so that a FIFO or device cannot hang the open; only regular files load.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReloadResult::Gone : ReloadResult::Unreadable;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        status.st_size > LargestFileSize) {
        close(fd);
        return ReloadResult::Unreadable;
    }
    if (mustBeWhole && status.st_size == 0) {
        close(fd); // a writer that truncated the file has not written it yet
        return ReloadResult::CutShort;
    }
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    if (!mustBeWhole) {
        // A file of three pieces or more is read on helper threads as well.
        if (size > 2 * std::max<std::size_t>(loadPieceBytes, 16) && interpretInParallel(fd, size, name)) {
            close(fd);
            return ReloadResult::Loaded;
        }
        Piece piece;
        if (!growPiece(piece, std::min(std::max<std::size_t>(loadPieceBytes, 16), size + 2))) {
            close(fd);
            return ReloadResult::Unreadable;
        }
        streamAndInterpret(fd, size, name, piece);
        std::free(piece.data);
        close(fd);
        return ReloadResult::Loaded;
    }
    // A reload reads the whole file before it touches the toolpath, so that a file still
    // being written leaves the drawing as it was.
    const std::size_t bytes = size + 2;
    unsigned char* buffer = mapBuffer(bytes);
    if (buffer == nullptr) {
        close(fd);
        return ReloadResult::Unreadable;
    }
    const std::size_t got = readAll(fd, buffer, size);
    struct stat after;
    const bool changed = fstat(fd, &after) != 0 || after.st_size != status.st_size ||
                         after.st_mtim.tv_sec != status.st_mtim.tv_sec ||
                         after.st_mtim.tv_nsec != status.st_mtim.tv_nsec;
    close(fd);
    if (mustBeWhole && (got != size || changed)) {
        munmap(buffer, bytes);
        return ReloadResult::CutShort;
    }
    interpretGcodeBuffer(buffer, size, name);
    munmap(buffer, bytes);
    return ReloadResult::Loaded;
}

} // namespace

bool loadGcodeFile(const std::string& path)
{
    return readAndInterpret(path, false) == ReloadResult::Loaded;
}

ReloadResult reloadGcodeFile(const std::string& path)
{
    return readAndInterpret(path, true);
}
