// Which line of the file made each move, for the replay's readout of the G-code line at its
// cursor. The load notes it in the same pass; the line's text is read from the file when asked.
#pragma once

#include "model/job_pace.h"

#include <cstdint>
#include <cstring>
#include <memory>
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

constexpr std::int32_t StepBlockMoves = 1 << 20; // moves of one block of steps, 1 MB

// Gathered by the load. A byte per move says how many lines lie from the line of the move
// before to its own (0 for the further moves of an arc, 1 for a file of one move a line);
// where a chunk of moves begins (each PaceChunkMoves-th move) its line is kept whole, byte
// offset and all, so that a query counts lines from there. On 13.6 million moves that is
// 14 MB beside 272 MB of moves, and a few instructions a move and a line for the load.
struct JobLines {
    // Per move, from the line of the move before, in blocks of StepBlockMoves: more blocks
    // as the moves come, never a copy. The block that move m lies in is m / StepBlockMoves;
    // `block` is the one being written.
    std::vector<std::unique_ptr<LineStep[]>> stepBlocks;
    LineStep* block = nullptr;
    std::vector<LongLineStep> longSteps; // the steps too large for a byte, in move order
    std::vector<LineMark> chunkLines;    // the line of the first move of each chunk
    LineMark reading;                    // the line the load is interpreting
    std::int64_t lastMoveLine = 0;       // the line of the last move noted
    bool incomplete = false;             // memory ran out: no line is told
};

// Empties the record for a new load, keeping its memory.
void clearJobLines(JobLines& lines);

// The load begins interpreting the line that starts at byte `offset`: the next line.
inline void readingLine(JobLines& lines, std::int64_t offset)
{
    ++lines.reading.number;
    lines.reading.offset = offset;
}

// The slow path of lineStep: a chunk's first move, a step too large for a byte, or a
// record that ran out of memory. Notes a failure to find memory in `incomplete`.
void noteLineSlowly(JobLines& lines, std::int32_t move, std::int64_t count);

static_assert((PaceChunkMoves & (PaceChunkMoves - 1)) == 0, "a chunk's first move is found by a mask");
static_assert(StepBlockMoves % PaceChunkMoves == 0, "a block begins with a chunk");

// Records that stored move `move` (the next one, in order) came from the line being read.
// Kept to a few instructions: it runs for each of millions of moves.
inline void lineStep(JobLines& lines, std::int32_t move)
{
    const std::int64_t line = lines.reading.number;
    const std::int64_t count = line - lines.lastMoveLine;
    lines.lastMoveLine = line;
    if ((move & (PaceChunkMoves - 1)) == 0 || count >= static_cast<std::int64_t>(LongStepMark) ||
        lines.incomplete) [[unlikely]] {
        noteLineSlowly(lines, move, count);
        return;
    }
    lines.block[move & (StepBlockMoves - 1)] = static_cast<LineStep>(count);
}

// Records that the stored moves from `first` up to `end` (the next ones, in order) came from
// the line being read, as lineStep does for each: an arc's further moves are 0 lines on, so
// within a chunk they take one fill.
inline void lineRun(JobLines& lines, std::int32_t first, std::int32_t end)
{
    if (first >= end)
        return;
    lineStep(lines, first);
    for (std::int32_t move = first + 1; move < end;) {
        if ((move & (PaceChunkMoves - 1)) == 0 || lines.incomplete) [[unlikely]] {
            lineStep(lines, move++);
            continue;
        }
        const std::int32_t chunkEnd = (move | (PaceChunkMoves - 1)) + 1;
        const std::int32_t stop = chunkEnd < end ? chunkEnd : end;
        std::memset(lines.block + (move & (StepBlockMoves - 1)), 0, static_cast<std::size_t>(stop - move));
        move = stop;
    }
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

// The number of the line that made move `move`; 0 when the load kept no record of the lines
// or there is no such move.
std::int64_t lineOfMove(std::int32_t move);

// The first move made by line `number` or a later line: moveCount when no move comes from
// there on, -1 when the load kept no record of the lines.
std::int32_t firstMoveFromLine(std::int64_t number);
