// Reads a G-code file into the toolpath store in one pass.
#include "model/interpreter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <cassert>
#include <cstdlib>

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
    double x = 0.0, y = 0.0;         // current position, millimetres
    double unitFactor = 1.0;         // 25.4 after G20
    bool relative = false;           // G91
    int motionMode = NoMotion;       // last G0..G3 in force
    bool powerOn = true;             // M3/M4 on, M5 off
    double power = 0.0;              // S as written
    double feed = 0.0;               // F as written
    double lastX = 0.0, lastY = 0.0; // X and Y as written
};

// Cleared at the start of every line.
struct LineWords {
    bool xSeen = false, ySeen = false;
    int motionCode = NoMotion;
};

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

inline void applyWord(unsigned char letter, double value, Modes& modes, LineWords& line)
{
    switch (letter) {
    case 'G': {
        const int code = wordCode(value);
        switch (code) {
        case RapidMotion:
        case LinearMotion:
        case ClockwiseArc:
        case CounterClockwiseArc: line.motionCode = code; break;
        case 20: modes.unitFactor = MillimetresPerInch; break;
        case 21: modes.unitFactor = 1.0; break;
        case 90: modes.relative = false; break;
        case 91: modes.relative = true; break;
        default: break;
        }
        break;
    }
    case 'M':
        switch (wordCode(value)) {
        case 3:
        case 4: modes.powerOn = true; break;
        case 5: modes.powerOn = false; break;
        default: break;
        }
        break;
    case 'X':
        line.xSeen = true;
        modes.lastX = value;
        break;
    case 'Y':
        line.ySeen = true;
        modes.lastY = value;
        break;
    case 'S': modes.power = value; break;
    case 'F': modes.feed = value; break;
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

// Units, distance mode and motion mode take effect here, once the whole line is read.
// false when the load must stop.
inline bool endLine(Modes& modes, const LineWords& line)
{
    if (line.motionCode != NoMotion)
        modes.motionMode = line.motionCode;
    if (!(line.xSeen || line.ySeen) || modes.motionMode == NoMotion)
        return true;
    const double endX = endCoordinate(line.xSeen, modes.lastX, modes.x, modes);
    const double endY = endCoordinate(line.ySeen, modes.lastY, modes.y, modes);
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
inline void scanLine(const unsigned char*& cursor, const unsigned char* end, Modes& modes,
                     LineWords& line)
{
    for (;;) {
        const unsigned char c = *cursor;
        if (isLetter(c)) {
            ++cursor;
            const double value = readNumber<UpToLineFeed>(cursor, end);
            applyWord(upperCase(c), value, modes, line);
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
        scanLine(cursor, end, load.modes, line);
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

// A first load reads the file a piece at a time and interprets each piece's complete lines
// before it reads the next: the piece stays in the processor's cache, and no buffer the
// size of the file is made. A file that shrinks while it is read ends where the reading ends,
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

// Reads the file into the toolpath: a first load piece by piece, a reload whole into memory
// first. A file that must be whole (a reload) is refused before the toolpath is touched
// when it is empty or changed during the read.
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
