// One load's pass over a file's lines in file order: the modes in force, the line count
// and the progress it shows. The toolpath and the progress display see only this pass.
#pragma once

#include <cstdint>
#include <string>

#include "model/line_moves.h"

namespace gcode_lines {

constexpr std::int64_t ProgressLineStep = 20000; // lines between two progress checks

// Loading progress for one load.
struct Progress {
    const std::string* name = nullptr;
    std::int64_t fileSize = 0;
    int lastPercent = -1;
};

// What one load keeps from one stretch of the file to the next.
struct Load {
    Modes modes;
    Progress progress;
    std::int64_t linesToCheck = ProgressLineStep;
    bool stopped = false; // out of memory for moves: the moves stored so far stay
};

// Empties the toolpath for the load of `size` bytes named `name` (which must outlive the
// load) and shows its progress at 0.
void beginLoad(Load& load, const std::string& name, std::int64_t size);

// The share of the file before `offset`, shown when it has changed since the last check.
void checkProgress(Progress& progress, std::int64_t offset);

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
                    std::int64_t offset);

} // namespace gcode_lines
