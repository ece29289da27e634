// Reads a G-code file into the toolpath store in one pass.
#include "model/interpreter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/arcs.h"
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
constexpr double TenthCodeSlack = 0.001;             // G90.1 and G91.1 within a thousandth

// The plane arcs turn in, as the G code that selects it.
constexpr std::int8_t PlaneXY = 17;
constexpr std::int8_t PlaneXZ = 18;
constexpr std::int8_t PlaneYZ = 19;

// Everything that persists from line to line during one load.
struct Modes {
    double x = 0.0, y = 0.0;     // current position, millimetres
    double unitFactor = 1.0;     // 25.4 after G20
    bool relative = false;       // G91
    int motionMode = NoMotion;   // last G0..G3 in force
    bool powerOn = true;         // M3/M4 on, M5 off
    double power = 0.0;          // S as written
    double feed = 0.0;           // millimetres per minute, fixed by the unit of the line that set it
    bool arcs = false;           // G2/G3 in the XY plane are followed as arcs (loadArcs)
    std::int8_t plane = PlaneXY; // G17, G18, G19
    bool relativeCentres = true; // G91.1: I and J are offsets from the start; G90.1: absolute
};

// What one line says. Every word of a line acts only once the line has been read (the
// unit, distance and power switches govern the whole line, whatever the order of its
// words), and of several words of a kind the last wins, so a line comes down to these
// values. They do not depend on the lines before, so a line can be read on another
// thread and applied later.
constexpr std::uint8_t SeenX = 1, SeenY = 2, SeenS = 4, SeenF = 8, SeenI = 16, SeenJ = 32, SeenR = 64;

// The mode switches a line can throw, as bits of its `said`; `on` holds how each was thrown.
constexpr std::uint8_t SaysInches = 1;          // on G20, off G21
constexpr std::uint8_t SaysRelative = 2;        // on G91, off G90
constexpr std::uint8_t SaysLaser = 4;           // on M3 or M4, off M5
constexpr std::uint8_t SaysRelativeCentres = 8; // on G91.1, off G90.1
constexpr std::uint8_t SaysPlane = 16;          // `plane` holds the line's last G17..G19

struct LineWords {
    double x, y, power, feed; // as written, where `seen` says so
    double i, j;              // an arc's I and J (or R, kept in `i`), as written, where `seen` says so
    std::uint32_t start;      // where the line starts, from its block's first line
    std::uint8_t seen;        // SeenX | SeenY | SeenS | SeenF | SeenI | SeenJ | SeenR
    std::int8_t motionCode;   // NoMotion, or the line's last G0..G3
    std::uint8_t said;        // the switches the line throws (Says...)
    std::uint8_t on;          // of those, the ones thrown on
    std::int8_t plane;        // with SaysPlane: G17, G18 or G19
};

// The start of a line: nothing said yet.
constexpr LineWords NoWords = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0, 0, NoMotion, 0, 0, 0};

// Notes a switch; the last of a kind on a line wins.
inline void say(LineWords& line, std::uint8_t which, bool on)
{
    line.said |= which;
    line.on = static_cast<std::uint8_t>(on ? line.on | which : line.on & ~which);
}

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

// G90.1 or G91.1 rather than plain G90 or G91: the code `code` (90 or 91) plus a tenth.
inline bool isTenthCode(double value, int code)
{
    return std::fabs(value - code - 0.1) <= TenthCodeSlack;
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
    std::int64_t whole = 0;
    for (int left = ExactWholeDigits; left > 0 && more(); --left) {
        const unsigned digit = static_cast<unsigned>(*cursor) - '0'; // a byte below '0' wraps past 9
        if (digit > 9)
            break;
        whole = whole * 10 + digit;
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

inline void noteWord(unsigned char letter, double value, LineWords& line)
{
    const auto note = [&](double& field, std::uint8_t seen) {
        line.seen |= seen;
        field = value;
    };
    switch (letter) {
    case 'G': {
        const int code = wordCode(value);
        switch (code) {
        case RapidMotion:
        case LinearMotion:
        case ClockwiseArc:
        case CounterClockwiseArc: line.motionCode = static_cast<std::int8_t>(code); break;
        case 17:
        case 18:
        case 19:
            line.said |= SaysPlane;
            line.plane = static_cast<std::int8_t>(code);
            break;
        case 20:
        case 21: say(line, SaysInches, code == 20); break;
        case 90:
        case 91:
            // G90.1 and G91.1 say how I and J are read; X and Y keep their distance mode.
            say(line, isTenthCode(value, code) ? SaysRelativeCentres : SaysRelative, code == 91);
            break;
        default: break;
        }
        break;
    }
    case 'M':
        switch (wordCode(value)) {
        case 3:
        case 4: say(line, SaysLaser, true); break;
        case 5: say(line, SaysLaser, false); break;
        default: break;
        }
        break;
    case 'X': note(line.x, SeenX); break;
    case 'Y': note(line.y, SeenY); break;
    case 'S': note(line.power, SeenS); break;
    case 'F': note(line.feed, SeenF); break;
    case 'I': note(line.i, SeenI); break;
    case 'J': note(line.j, SeenJ); break;
    case 'R': note(line.i, SeenR); break; // with I or J too, no arc is made of either
    default: break;                       // N, Z, K, P, T, E ...: read past
    }
}

inline double endCoordinate(bool seen, double written, double current, const Modes& modes)
{
    if (!seen)
        return current;
    const double distance = written * modes.unitFactor;
    return modes.relative ? current + distance : distance;
}

inline bool isTravel(const Modes& modes)
{
    return modes.motionMode == RapidMotion || !(modes.power > 0.0) || !modes.powerOn;
}

// G0 or G1 (one unsigned test: NoMotion wraps past them).
inline bool isStraightMotion(int motionMode)
{
    return static_cast<unsigned>(motionMode) <= static_cast<unsigned>(LinearMotion);
}

inline bool isArcMotion(int motionMode)
{
    return motionMode == ClockwiseArc || motionMode == CounterClockwiseArc;
}

// Whether the motion in force is an arc to follow as an arc rather than as its chord.
inline bool followsArc(const Modes& modes)
{
    return modes.arcs && isArcMotion(modes.motionMode) && modes.plane == PlaneXY;
}

// Emits one move with its statistics. false when the store is full and cannot grow.
inline bool emitMove(const Modes& modes, double endX, double endY)
{
    const bool travel = isTravel(modes);
    powerStep(modes.power, travel);
    if (!appendMove(modes.x, modes.y, endX, endY, modes.power, travel))
        return false;
    timeStep(modes.motionMode, modes.feed, modes.x, modes.y, endX, endY);
    return true;
}

// An arc centre coordinate: after G91.1 an offset from the start, after G90.1 where it
// lies; a missing word puts it level with the start.
inline double centreCoordinate(bool seen, double written, double start, const Modes& modes)
{
    if (!seen)
        return start;
    const double distance = written * modes.unitFactor;
    return modes.relativeCentres ? start + distance : distance;
}

// Follows the line's arc with moves, or stores its chord when no machine would run it.
// false when the store is full.
bool emitArc(const Modes& modes, const LineWords& line, double endX, double endY)
{
    const bool clockwise = modes.motionMode == ClockwiseArc;
    const bool byRadius = (line.seen & SeenR) != 0;
    const bool byCentre = (line.seen & (SeenI | SeenJ)) != 0;
    ArcPlan plan;
    bool runs = false; // neither form, or both at once, is refused by machines
    if (byRadius && !byCentre) {
        runs = planRadiusArc(modes.x, modes.y, endX, endY, line.i * modes.unitFactor, clockwise, plan);
    } else if (byCentre && !byRadius) {
        const double cx = centreCoordinate((line.seen & SeenI) != 0, line.i, modes.x, modes);
        const double cy = centreCoordinate((line.seen & SeenJ) != 0, line.j, modes.y, modes);
        runs = planCentreArc(modes.x, modes.y, endX, endY, cx, cy, clockwise, plan);
    }
    if (!runs)
        return (endX == modes.x && endY == modes.y) || emitMove(modes, endX, endY);
    const bool travel = isTravel(modes);
    const std::int32_t before = toolpath.moveCount;
    const bool stored = appendArcMoves(plan, modes.x, modes.y, endX, endY, modes.power, travel);
    // Like any move, an arc counts only when it stores something.
    if (toolpath.moveCount > before) {
        powerStep(modes.power, travel);
        pathTimeStep(modes.motionMode, modes.feed, arcLength(plan), before);
    }
    return stored;
}

// The move of a line that has X, Y, I or J and is no G0 or G1 move: for a G2/G3 line an
// arc, or the straight move to its end; nothing before the first motion word or for I and
// J alone on a straight move. false when the store is full. Kept out of line: the loop
// over lines stays small, and arcs are rare next to straight moves.
[[gnu::noinline]] bool endArcLine(Modes& modes, const LineWords& line)
{
    if (!isArcMotion(modes.motionMode))
        return true;
    const double endX = endCoordinate((line.seen & SeenX) != 0, line.x, modes.x, modes);
    const double endY = endCoordinate((line.seen & SeenY) != 0, line.y, modes.y, modes);
    if (followsArc(modes)) {
        if (!emitArc(modes, line, endX, endY))
            return false;
    } else {
        ++toolpath.straightArcs; // even a full circle without X and Y, which goes nowhere
        if ((endX != modes.x || endY != modes.y) && !emitMove(modes, endX, endY))
            return false;
    }
    modes.x = endX;
    modes.y = endY;
    return true;
}

inline void throwSwitches(Modes& modes, const LineWords& line)
{
    const auto thrown = [&](std::uint8_t which, bool& mode) {
        if (line.said & which)
            mode = (line.on & which) != 0;
    };
    if (line.said & SaysInches)
        modes.unitFactor = line.on & SaysInches ? MillimetresPerInch : 1.0;
    thrown(SaysRelative, modes.relative);
    thrown(SaysLaser, modes.powerOn);
    thrown(SaysRelativeCentres, modes.relativeCentres);
    if (line.said & SaysPlane)
        modes.plane = line.plane;
}

// The line's words take effect here, once the whole line is read. false when the load
// must stop.
inline bool endLine(Modes& modes, const LineWords& line)
{
    if (line.said != 0) // most lines throw no switch: one test for them all
        throwSwitches(modes, line);
    if (line.seen & SeenS)
        modes.power = line.power;
    // A feed is a speed: the unit of its own line fixes it, and a later G20 or G21 does not.
    if (line.seen & SeenF)
        modes.feed = line.feed * modes.unitFactor;
    if (line.motionCode != NoMotion)
        modes.motionMode = line.motionCode;
    if (!(line.seen & (SeenX | SeenY | SeenI | SeenJ)))
        return true;
    // G0 and G1 lines with X or Y, by far the most, go on here with one test; arcs (with I
    // or J alone a full circle) and lines before the first motion word are sorted out apart.
    if (!(isStraightMotion(modes.motionMode) && (line.seen & (SeenX | SeenY))))
        return endArcLine(modes, line);
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

// Reads the line at `cursor` into `line` and returns where its line feed is. The buffer
// always ends in a line feed before `end`, so every skip below stops at a line feed at the
// latest. The cursor is a value of its own: written through a reference, it would go to
// memory at every byte, as the stores into `line` might change it.
inline const unsigned char* scanLine(const unsigned char* cursor, const unsigned char* end,
                                     LineWords& line)
{
    for (;;) {
        const unsigned char c = *cursor;
        if (isLetter(c)) {
            ++cursor;
            const double value = readNumber<UpToLineFeed>(cursor, end);
            noteWord(upperCase(c), value, line);
        } else if (c == LineFeed) {
            return cursor;
        } else if (c == ';') {
            return static_cast<const unsigned char*>(std::memchr(cursor, LineFeed, end - cursor));
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

bool loadArcs = false;
std::size_t loadPieceBytes = std::size_t{1} << 20;
// A second core pays from a few megabytes on: below that the load is over in milliseconds.
std::size_t loadSharedBytes = std::thread::hardware_concurrency() > 1
                                  ? std::size_t{4} << 20
                                  : std::numeric_limits<std::size_t>::max();

namespace {

// What one load keeps from one stretch of the file to the next.
struct Load {
    Modes modes;
    Progress progress;
    std::int64_t linesToCheck = ProgressLineStep;
    bool stopped = false; // out of memory for moves: the moves stored so far stay
};

void beginLoad(Load& load, const std::string& name, std::int64_t size)
{
    clearToolpath();
    load.modes.arcs = loadArcs;
    load.progress = Progress{&name, size, -1};
    showProgress(load.progress, 0);
}

// Counts a line that starts at `offset` in the file; every 20000th shows the progress.
inline void countLine(Load& load, std::int64_t offset)
{
    readingLine(toolpath.lines, offset);
    if (--load.linesToCheck == 0) { // drawing happens rarer still
        load.linesToCheck = ProgressLineStep;
        checkProgress(load.progress, offset);
    }
}

// Interprets the lines of [begin, end) on this thread: the byte before `end` is a line
// feed, and `offset` is where `begin` lies in the file. false once the load has stopped.
bool interpretLines(Load& load, const unsigned char* begin, const unsigned char* end,
                    std::int64_t offset)
{
    assert(begin < end && end[-1] == LineFeed);
    const unsigned char* cursor = begin;
    while (cursor < end && !load.stopped) {
        countLine(load, offset + (cursor - begin));
        LineWords line = NoWords;
        cursor = scanLine(cursor, end, line);
        ++cursor; // past the line feed
        load.stopped = !endLine(load.modes, line);
    }
    return !load.stopped;
}

// A large file is read on two threads. A helper reads the file and turns its lines into
// their words, a block of lines at a time, while this thread applies the words of the
// blocks before, in file order. The toolpath and the progress display are touched by this
// thread alone and see exactly what one thread would give them. Storing the moves (with
// the kernel making their pages) takes about as long as reading the lines; to even out
// what is left, each block also passes on a stretch of lines as text, which this thread
// reads itself: longer while this thread waits for blocks, shorter while the helper waits
// for room.
constexpr std::size_t LinesPerBlock = 16384;
constexpr std::int64_t Blocks = 4; // blocks read ahead of the one being applied, at most
constexpr std::size_t TextPerBlock = 65536;
constexpr std::size_t TextStep = 4096;

struct LineBlock {
    std::int64_t offset = 0; // where its first line starts in the file
    std::size_t count = 0;
    LineWords lines[LinesPerBlock];
    // The lines after those, unread, ending in a line feed.
    std::int64_t textOffset = 0;
    std::size_t textSize = 0;
    unsigned char text[TextPerBlock];
};

struct SharedLoad {
    LineBlock blocks[Blocks];
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t filled = 0;              // blocks handed over; block k lives in blocks[k % Blocks]
    std::int64_t applied = 0;             // blocks applied, their room free again
    std::size_t textShare = 4 * TextStep; // bytes of text a block passes on, at most
    bool finished = false;                // the helper has handed over its last block
    bool stop = false;                    // this thread wants no more blocks
    // The helper's alone: it holds lines in a block not yet handed over. The count of that
    // block's room is no help once the room is full, as this thread may be emptying it.
    bool filling = false;
};

// Passes on the whole lines within the first `most` bytes at `cursor` as the block's text;
// returns where they end.
const unsigned char* passOnText(LineBlock& block, const unsigned char* cursor, std::size_t most,
                                std::int64_t offset)
{
    const auto* lastFeed = static_cast<const unsigned char*>(memrchr(cursor, LineFeed, most));
    if (lastFeed == nullptr)
        return cursor;
    block.textOffset = offset;
    block.textSize = static_cast<std::size_t>(lastFeed + 1 - cursor);
    std::memcpy(block.text, cursor, block.textSize);
    return lastFeed + 1;
}

// The helper's side: turns the lines of a stretch into words in the block being filled,
// handing each block over when it is full. false once this thread has asked it to stop.
bool readLineWords(SharedLoad& shared, const unsigned char* begin, const unsigned char* end,
                   std::int64_t offset)
{
    const unsigned char* cursor = begin;
    while (cursor < end) {
        std::int64_t next;
        std::size_t textShare;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            if (shared.filled - shared.applied == Blocks && shared.textShare > 0)
                shared.textShare -= TextStep;
            shared.changed.wait(lock,
                                [&] { return shared.stop || shared.filled - shared.applied < Blocks; });
            if (shared.stop)
                return false;
            next = shared.filled;
            textShare = shared.textShare;
        }
        LineBlock& block = shared.blocks[next % Blocks];
        if (block.count == 0)
            block.offset = offset + (cursor - begin);
        while (cursor < end && block.count < LinesPerBlock) {
            LineWords& line = block.lines[block.count++];
            line = NoWords;
            // A block spans less than the largest file, so the distance fits.
            line.start = static_cast<std::uint32_t>(offset + (cursor - begin) - block.offset);
            cursor = scanLine(cursor, end, line);
            ++cursor;
        }
        shared.filling = block.count < LinesPerBlock;
        if (!shared.filling) {
            const std::size_t most = std::min<std::size_t>(textShare, end - cursor);
            if (most > 0)
                cursor = passOnText(block, cursor, most, offset + (cursor - begin));
            const std::lock_guard<std::mutex> lock(shared.mutex);
            ++shared.filled;
            shared.changed.notify_all();
        }
    }
    return true;
}

// The helper's last step: hands over the block it was filling, if any, and says it is done.
void finishLineWords(SharedLoad& shared)
{
    const std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.stop && shared.filling)
        ++shared.filled;
    shared.finished = true;
    shared.changed.notify_all();
}

// This thread's side: applies the blocks in order until the helper is done or the load stops.
void applyLineWords(Load& load, SharedLoad& shared)
{
    for (std::int64_t next = 0;; ++next) {
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            if (shared.filled == next && !shared.finished && next > 0)
                shared.textShare = std::min(shared.textShare + TextStep, TextPerBlock);
            shared.changed.wait(lock, [&] { return shared.filled > next || shared.finished; });
            if (shared.filled <= next)
                return;
        }
        LineBlock& block = shared.blocks[next % Blocks];
        for (std::size_t i = 0; i < block.count && !load.stopped; ++i) {
            countLine(load, block.offset + block.lines[i].start);
            load.stopped = !endLine(load.modes, block.lines[i]);
        }
        if (block.textSize > 0 && !load.stopped)
            interpretLines(load, block.text, block.text + block.textSize, block.textOffset);
        block.count = 0;
        block.textSize = 0;
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.applied = next + 1;
        shared.stop = load.stopped;
        shared.changed.notify_all();
        if (load.stopped)
            return;
    }
}

// Interprets the stretches of text that `forEachStretch` hands, one after the other, to the
// callback it is given. The callback takes (begin, end, offset) as interpretLines does and
// returns false when the reading should stop. A large file takes two threads.
template <typename ForEachStretch>
void interpretStretches(Load& load, std::size_t size, ForEachStretch forEachStretch)
{
    if (size >= loadSharedBytes) {
        const std::unique_ptr<SharedLoad> shared(new (std::nothrow) SharedLoad);
        std::thread helper;
        // The standard library reports a thread it cannot start, for want of a thread or of
        // memory, only by throwing. The file is then read on this thread alone, as it is
        // without the memory for the blocks.
        try {
            if (shared != nullptr) {
                helper = std::thread([&] {
                    forEachStretch(
                        [&](const unsigned char* begin, const unsigned char* end, std::int64_t offset) {
                            return readLineWords(*shared, begin, end, offset);
                        });
                    finishLineWords(*shared);
                });
            }
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
        if (helper.joinable()) {
            applyLineWords(load, *shared);
            helper.join();
            return;
        }
    }
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
// first. A file that must be whole (a reload) is refused before the toolpath is touched
// when it changed during the read. An empty file is read like any other: the caller waits
// for a file to settle before it reloads it, so one left empty was emptied on purpose.
ReloadResult readAndInterpret(const std::string& path, bool mustBeWhole)
{
    const std::string name = filePart(path);
    // Non-blocking so that a FIFO or device cannot hang the open; only regular files load.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return openFailure(errno);
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        close(fd);
        return ReloadResult::Unreadable;
    }
    if (status.st_size > LargestFileSize) {
        close(fd);
        return ReloadResult::TooLarge;
    }
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    if (!mustBeWhole) {
        Piece piece;
        if (!growPiece(piece, std::min(std::max<std::size_t>(loadPieceBytes, 16), size + 2))) {
            close(fd);
            return ReloadResult::OutOfMemory;
        }
        Load load;
        beginLoad(load, name, static_cast<std::int64_t>(size));
        interpretStretches(load, size,
                           [&](auto&& toStretch) { readPieces(fd, size, piece, toStretch); });
        endOfLoadStep();
        std::free(piece.data);
        close(fd);
        loadCutShort = load.stopped;
        return ReloadResult::Loaded;
    }
    // A reload reads the whole file before it touches the toolpath, so that a file still
    // being written leaves the drawing as it was.
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
    const bool whole = interpretGcodeBuffer(buffer, size, name);
    munmap(buffer, bytes);
    endToolpathAside(shown, !whole);
    return whole ? ReloadResult::Loaded : ReloadResult::OutOfMemory;
}

} // namespace

bool loadCutShort = false;

bool loadGcodeFile(const std::string& path)
{
    loadCutShort = false;
    return readAndInterpret(path, false) == ReloadResult::Loaded;
}

ReloadResult reloadGcodeFile(const std::string& path)
{
    return readAndInterpret(path, true);
}
