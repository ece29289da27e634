// The job's course in time, for a replay: where each move lies on a timeline paced by the
// estimated time, and what a place on that timeline draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Move;

// Moves per checkpoint of the pace record: a query walks at most this many moves.
constexpr std::int32_t PaceChunkMoves = 512;

// From this timed move on, each timed move takes `secondsPerMm` (60 / F) for every
// millimetre of its length, until the next change.
struct PaceChange {
    std::int32_t firstMove;
    double secondsPerMm;
};

constexpr std::int32_t PaceBitsPerWord = 64;

// Gathered by the load beside the job statistics, in the same pass. The time of a move is
// worked out again from its stored length and its rate when asked for; the estimate's own
// sums, kept at every PaceChunkMoves-th move, make the times add up to exactly the
// estimate. Which moves are untimed (rapids, feed moves without a positive F) takes a bit
// per move, since rasters that skip their blanks with G0 switch at nearly every move; the
// feed changes seldom, so its changes are kept as a list. On 13.6 million moves that is
// 1.7 MB of bits and 0.3 MB of checkpoints, beside 272 MB of moves.
struct JobPace {
    std::vector<PaceChange> changes;        // of the timed moves' rate, in move order
    std::vector<std::uint64_t> untimedBits; // bit m % 64 of word m / 64: move m is untimed
    std::vector<double> chunkSeconds;       // the estimate before move c x PaceChunkMoves
    std::vector<std::int32_t> chunkUntimed; // untimed moves before it
    std::int32_t untimedMoves = 0;          // so far
    bool incomplete = false;                // memory ran out: pace the moves evenly
};

// The replay's cursor: the moves before `move` are done, and `fraction` (0 to 1) of move
// `move` itself. {0, 0} is the start of the job; {moveCount - 1, 1} its end.
struct ReplayCursor {
    std::int32_t move = 0;
    double fraction = 0.0;
};

inline bool operator==(const ReplayCursor& a, const ReplayCursor& b)
{
    return a.move == b.move && a.fraction == b.fraction;
}

// The share of the timeline an untimed move takes when the job has an estimate: this part
// of an average move, so that all of them together take at most this part of the job.
constexpr double UntimedMoveShare = 0.01;
// The timeline seconds of each move of a job without any estimate (travel moves only).
constexpr double UnestimatedMoveSeconds = 0.01;

// The slow paths of paceStep: a checkpoint (with the chunk's untimed bits), a change of
// rate. They note a failure to find memory in `incomplete` and record nothing more.
void notePaceChunk(JobPace& pace, double estimateBefore);
void notePaceChange(JobPace& pace, std::int32_t move, double secondsPerMm);

// Records stored move `move` before its time is added to the estimate: called by the time
// step of the job statistics for every move, in order. `secondsPerMm` is 0 when untimed.
inline void paceStep(JobPace& pace, std::int32_t move, double estimateBefore, double secondsPerMm)
{
    if (move % PaceChunkMoves == 0)
        notePaceChunk(pace, estimateBefore);
    if (pace.incomplete)
        return;
    if (secondsPerMm == 0.0) {
        pace.untimedBits[static_cast<std::size_t>(move / PaceBitsPerWord)] |=
            std::uint64_t{1} << (move % PaceBitsPerWord);
        ++pace.untimedMoves;
    } else if (pace.changes.empty() || pace.changes.back().secondsPerMm != secondsPerMm) {
        notePaceChange(pace, move, secondsPerMm);
    }
}

// Records the `count` stored moves from `first` on that share one rate, the estimate
// before move first + k being estimateBefore + seconds * k / count: what paceStep on each
// of them records, with the moves between two checkpoints taken at once (an arc's moves).
void paceRun(JobPace& pace, std::int32_t first, std::int32_t count, double estimateBefore,
             double seconds, double secondsPerMm);

// Empties the record for a new load, keeping its memory.
void clearJobPace(JobPace& pace);

// The timeline's length: the estimate plus the shares of the untimed moves.
double paceSeconds();

// The place of a cursor on the timeline, and the estimated time elapsed there; the end of
// the job gives the estimate itself.
double paceAt(ReplayCursor cursor);
double elapsedAt(ReplayCursor cursor);

// The first cursor at this timeline place, or at this much elapsed estimated time; the
// start below 0 and the end beyond the whole.
ReplayCursor cursorAtPace(double seconds);
ReplayCursor cursorAtElapsed(double seconds);

// The cursor at the end of move `number` (1 to moveCount; 0 is the start).
ReplayCursor cursorAfterMove(std::int32_t number);

// The feed of move `move` in millimetres a minute as the estimate times it; 0 for a move the
// estimate does not time (a rapid, a move without a positive F) or when the load kept no
// record of the rates.
double feedOfMove(std::int32_t move);

// The move cut at `fraction` of its length: the same start, the end at the tool's place,
// narrowed to floats as stored moves are. A fraction of 1 or more gives the move whole.
Move movePart(const Move& move, double fraction);
