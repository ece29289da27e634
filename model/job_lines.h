// Which line of the file made each move, for the replay's readout of the G-code line at its
// cursor. The load notes it in the same pass; the line's text is read from the file when asked.
#pragma once

#include "model/job_pace.h"

#include <cstdint>
#include <string>
#include <vector>

// A line of the file: its number (1 for the first) and the byte where it starts.
struct LineMark {
    std::int64_t number = 0;
    std::int64_t offset = 0;
};

// A move more than 254 lines after the move before it.
struct LongLineStep {
    std::int32_t move;
    std::int64_t lines;
};

// Lines from one move's line to the next's, 0 to 254; LongStepMark sends the count to
// `longSteps`. A type of its own rather than a byte type: a store of a byte type may alias
// anything, which would make the interpreter's loop reload its values after every move.
enum class LineStep : std::uint8_t {};
constexpr LineStep LongStepMark{255};

// Gathered by the load. A byte per move says how many lines lie from the line of the move
// before to its own (0 for the further moves of an arc, 1 for a file of one move a line);
// where a chunk of moves begins (each PaceChunkMoves-th move) its line is kept whole, byte
// offset and all, so that a query counts lines from there. On 13.6 million moves that is
// 13.6 MB beside 272 MB of moves.
struct JobLines {
    std::vector<LineStep> steps;            // per move, from the line of the move before
    std::vector<LongLineStep> longSteps;   // the steps too large for a byte, in move order
    std::vector<LineMark> chunkLines;      // the line of the first move of each chunk
    LineMark reading;                      // the line the load is interpreting
    std::int64_t lastMoveLine = 0;         // the line of the last move noted
    bool incomplete = false;               // memory ran out: no line is told
};

// Empties the record for a new load, keeping its memory.
void clearJobLines(JobLines& lines);

// The load begins interpreting the line that starts at byte `offset`: the next line.
inline void readingLine(JobLines& lines, std::int64_t offset)
{
    ++lines.reading.number;
    lines.reading.offset = offset;
}

// The slow paths of lineStep: a chunk's first move, a step too large for a byte. They note
// a failure to find memory in `incomplete`.
void noteLineChunk(JobLines& lines, std::int32_t move);
void noteLongLineStep(JobLines& lines, std::int32_t move, std::int64_t count);

// Records that stored move `move` (the next one, in order) came from the line being read.
inline void lineStep(JobLines& lines, std::int32_t move)
{
    if (move % PaceChunkMoves == 0)
        noteLineChunk(lines, move);
    if (lines.incomplete)
        return;
    const std::int64_t count = lines.reading.number - lines.lastMoveLine;
    lines.lastMoveLine = lines.reading.number;
    if (count < static_cast<std::int64_t>(LongStepMark))
        lines.steps[static_cast<std::size_t>(move)] = static_cast<LineStep>(count);
    else
        noteLongLineStep(lines, move, count);
}

// The line of the file that made move `move` of the loaded toolpath (start and end of the
// course both come from it), with its text read from `path` without the line ending and
// cut at MaxLineTextBytes. number 0 when the load kept no record of the lines; text ""
// when the file cannot be read there.
struct JobLine {
    std::int64_t number = 0;
    std::string text;
};
constexpr std::size_t MaxLineTextBytes = 400;
JobLine jobLineOf(const std::string& path, std::int32_t move);
