// Reads a G-code file into the toolpath store in one pass.
#pragma once

#include <cstddef>
#include <string>

// Reads and interprets the file. true when it was read, whatever it holds
// (even no moves); false when it cannot be opened, is a folder, is 2147483646 bytes or
// larger, or no buffer can be had. On false the toolpath is untouched.
bool loadGcodeFile(const std::string& path);

// Whether the last loadGcodeFile ran out of memory for the moves: it stopped there, and the
// toolpath holds the moves before that point.
extern bool loadCutShort;

// How a second load of a file that is already shown ended.
enum class ReloadResult {
    Loaded,       // read whole and interpreted into the toolpath
    Gone,         // nothing is there any more
    Unreadable,   // there, but it cannot be opened or read (as loadGcodeFile's false)
    CutShort,     // its size or time changed while it was read: still being written
    OutOfMemory,  // the file or its moves do not fit in the memory that can be had
    TooManyFiles, // this process or the system has as many files open as it may
    TooLarge,     // 2147483646 bytes or larger
};

// Reads the file like loadGcodeFile, but replaces the toolpath only with a file that was
// read whole and interpreted whole; on every result but Loaded the toolpath is untouched.
ReloadResult reloadGcodeFile(const std::string& path);

// Whether a load follows G2/G3 arcs in the XY plane with moves; false (the default) stores
// each arc as the straight move from its start to its end.
extern bool loadArcs;

// Bytes a first load reads at a time (a line longer than that is read whole). Tests make it
// small to put piece boundaries everywhere.
extern std::size_t loadPieceBytes;

// Files at least this large are read on two threads: one reads lines ahead into their
// words, the calling thread applies them in order. On a machine with one core, none is.
// Tests make it 0 to read every file that way.
extern std::size_t loadSharedBytes;

// Interprets `size` bytes already in memory exactly as a file load does after reading.
// `buffer` must hold size + 2 bytes, the last two free (they receive the added line feed
// and a zero). `name` is shown by the loading progress. false when the store ran out of
// memory: the toolpath then holds the moves before that point.
bool interpretGcodeBuffer(unsigned char* buffer, std::size_t size, const std::string& name);

// Reads the number after a word letter at `cursor` and moves the cursor past it; never
// moves past `end`. No exponent, no locale, no library conversion.
double readWordNumber(const unsigned char*& cursor, const unsigned char* end);
