// Paces the job's moves by the estimated time, from the rates and checkpoints the load kept.
#include "model/job_pace.h"

#include "model/toolpath.h"

#include <algorithm>
#include <cmath>
#include <new>

void notePaceChunk(JobPace& pace, double estimateBefore)
{
    if (pace.incomplete)
        return;
    try {
        pace.chunkSeconds.push_back(estimateBefore);
        pace.chunkUntimed.push_back(pace.untimedMoves);
        pace.untimedBits.resize(pace.untimedBits.size() + PaceChunkMoves / PaceBitsPerWord);
    } catch (const std::bad_alloc&) {
        pace.incomplete = true;
    }
}

void notePaceChange(JobPace& pace, std::int32_t move, double secondsPerMm)
{
    if (pace.incomplete)
        return;
    try {
        pace.changes.push_back(PaceChange{move, secondsPerMm});
    } catch (const std::bad_alloc&) {
        pace.incomplete = true;
    }
}

void paceRun(JobPace& pace, std::int32_t first, std::int32_t count, double estimateBefore,
             double seconds, double secondsPerMm)
{
    std::int32_t k = 0;
    while (k < count) {
        // The move that may open a checkpoint or change the rate...
        paceStep(pace, first + k, estimateBefore + seconds * k / count, secondsPerMm);
        ++k;
        // ...then those before the next checkpoint, for which paceStep would only set the
        // untimed bits, or do nothing at all once the rate is noted or the record gave up.
        const std::int64_t next =
            (std::int64_t{first} + k + PaceChunkMoves - 1) / PaceChunkMoves * PaceChunkMoves;
        const std::int32_t end = static_cast<std::int32_t>(std::min<std::int64_t>(count, next - first));
        if (pace.incomplete) {
            k = end;
        } else if (secondsPerMm == 0.0) {
            pace.untimedMoves += end - k;
            for (; k < end; ++k) {
                const std::int32_t move = first + k;
                pace.untimedBits[static_cast<std::size_t>(move / PaceBitsPerWord)] |=
                    std::uint64_t{1} << (move % PaceBitsPerWord);
            }
        } else if (pace.changes.back().secondsPerMm == secondsPerMm) {
            k = end;
        }
    }
}

void clearJobPace(JobPace& pace)
{
    pace.changes.clear();
    pace.untimedBits.clear();
    pace.chunkSeconds.clear();
    pace.chunkUntimed.clear();
    pace.untimedMoves = 0;
    pace.incomplete = false;
}

namespace {

std::int32_t chunkCount()
{
    return (toolpath.moveCount + PaceChunkMoves - 1) / PaceChunkMoves;
}

// Whether the record describes the moves in the store. A store filled without the time
// step (or a load that ran out of memory for the record) is paced evenly instead: every
// move an equal part of the estimate, or of the untimed timeline without one.
bool paceRecorded()
{
    const JobPace& pace = toolpath.pace;
    return !pace.incomplete && std::isfinite(toolpath.estimatedSeconds) &&
           pace.chunkSeconds.size() == static_cast<std::size_t>(chunkCount()) &&
           pace.untimedBits.size() == pace.chunkSeconds.size() * (PaceChunkMoves / PaceBitsPerWord);
}

// The timeline seconds an untimed move takes.
double untimedSeconds()
{
    const double estimate = toolpath.estimatedSeconds;
    if (!(estimate > 0.0) || !std::isfinite(estimate))
        return UnestimatedMoveSeconds;
    return estimate * UntimedMoveShare / toolpath.moveCount;
}

// The estimate and the untimed moves before chunk `chunk` (chunkCount() for the end).
void chunkStart(std::int32_t chunk, double& seconds, std::int32_t& untimed)
{
    const std::int32_t chunks = chunkCount();
    const double estimate = std::isfinite(toolpath.estimatedSeconds) ? toolpath.estimatedSeconds : 0.0;
    if (chunk >= chunks) {
        seconds = estimate;
        untimed =
            paceRecorded() ? toolpath.pace.untimedMoves : (estimate > 0.0 ? 0 : toolpath.moveCount);
        return;
    }
    if (paceRecorded()) {
        seconds = toolpath.pace.chunkSeconds[static_cast<std::size_t>(chunk)];
        untimed = toolpath.pace.chunkUntimed[static_cast<std::size_t>(chunk)];
        return;
    }
    const std::int32_t first = chunk * PaceChunkMoves;
    seconds = estimate * first / toolpath.moveCount;
    untimed = estimate > 0.0 ? 0 : first;
}

// A stored move's length, as the estimate measures it (there from the doubles).
double storedLength(const Move& m)
{
    const double dx = static_cast<double>(m.x2) - m.x1;
    const double dy = static_cast<double>(m.y2) - m.y1;
    return std::sqrt(dx * dx + dy * dy);
}

// Each move of chunk `chunk` with its estimated seconds, in order: visit(move, seconds,
// untimed), false to stop. The seconds are the stored length times the move's rate, scaled
// so that the chunk's moves add up to the estimate's own sum over them (the stored floats
// differ from the interpreter's doubles in the last bits).
template <typename Visit> void walkChunk(std::int32_t chunk, Visit visit)
{
    const std::int32_t first = chunk * PaceChunkMoves;
    const std::int32_t end = std::min(toolpath.moveCount, first + PaceChunkMoves);
    double startSeconds = 0.0, endSeconds = 0.0;
    std::int32_t startUntimed = 0, endUntimed = 0;
    chunkStart(chunk, startSeconds, startUntimed);
    chunkStart(chunk + 1, endSeconds, endUntimed);
    const double chunkSeconds = std::max(0.0, endSeconds - startSeconds);

    if (!paceRecorded()) {
        const bool timed = toolpath.estimatedSeconds > 0.0 && std::isfinite(toolpath.estimatedSeconds);
        const double each = timed ? chunkSeconds / (end - first) : 0.0;
        for (std::int32_t move = first; move < end; ++move)
            if (!visit(move, each, !timed))
                return;
        return;
    }

    const JobPace& pace = toolpath.pace;
    const auto untimedAt = [&pace](std::int32_t move) {
        return (pace.untimedBits[static_cast<std::size_t>(move / PaceBitsPerWord)] >>
                (move % PaceBitsPerWord)) &
               1u;
    };
    // The rate of the timed moves from `first` on: the last change at or before it, then
    // each change as its move is reached.
    const auto firstChange =
        std::upper_bound(pace.changes.begin(), pace.changes.end(), first,
                         [](std::int32_t move, const PaceChange& c) { return move < c.firstMove; });
    const double firstRate =
        firstChange == pace.changes.begin() ? 0.0 : (firstChange - 1)->secondsPerMm;
    double lengthSeconds = 0.0;
    std::int32_t timedMoves = 0;
    auto next = firstChange;
    double rate = firstRate;
    for (std::int32_t move = first; move < end; ++move) {
        for (; next != pace.changes.end() && next->firstMove <= move; ++next)
            rate = next->secondsPerMm;
        if (untimedAt(move))
            continue;
        lengthSeconds += storedLength(toolpath.moves[move]) * rate;
        ++timedMoves;
    }
    // Moves too short to have a stored length share the chunk's time evenly.
    const double factor = chunkSeconds / lengthSeconds;
    const bool byLength = lengthSeconds > 0.0 && std::isfinite(lengthSeconds) && std::isfinite(factor);
    const double each = timedMoves > 0 ? chunkSeconds / timedMoves : 0.0;
    next = firstChange;
    rate = firstRate;
    for (std::int32_t move = first; move < end; ++move) {
        for (; next != pace.changes.end() && next->firstMove <= move; ++next)
            rate = next->secondsPerMm;
        const bool untimed = untimedAt(move) != 0;
        double seconds = 0.0;
        if (!untimed)
            seconds = byLength ? storedLength(toolpath.moves[move]) * rate * factor : each;
        if (!visit(move, seconds, untimed))
            return;
    }
}

// What a place on one of the two axes is measured in: the timeline (untimed moves take
// their share) or the estimate alone.
enum class Axis { Timeline, Estimate };

double axisStart(std::int32_t chunk, Axis axis)
{
    double seconds = 0.0;
    std::int32_t untimed = 0;
    chunkStart(chunk, seconds, untimed);
    return axis == Axis::Timeline ? seconds + untimed * untimedSeconds() : seconds;
}

double placeOf(ReplayCursor cursor, Axis axis)
{
    if (toolpath.moveCount <= 0)
        return 0.0;
    const std::int32_t move = std::clamp(cursor.move, 0, toolpath.moveCount - 1);
    const double fraction = std::clamp(cursor.fraction, 0.0, 1.0);
    const std::int32_t chunk = move / PaceChunkMoves;
    // The end of a chunk's last move is the next checkpoint itself: the end of the job is
    // then the estimate, not a sum that rounds near it.
    if (fraction == 1.0 && (move + 1) % PaceChunkMoves == 0)
        return axisStart(chunk + 1, axis);
    if (fraction == 1.0 && move + 1 == toolpath.moveCount)
        return axisStart(chunkCount(), axis);
    const double share = untimedSeconds();
    double place = axisStart(chunk, axis);
    walkChunk(chunk, [&](std::int32_t at, double seconds, bool untimed) {
        const double width = seconds + (axis == Axis::Timeline && untimed ? share : 0.0);
        place += at == move ? fraction * width : width;
        return at != move;
    });
    return place;
}

ReplayCursor cursorAt(double target, Axis axis)
{
    const std::int32_t count = toolpath.moveCount;
    if (count <= 0 || !(target > 0.0)) // also a NaN
        return ReplayCursor{};
    const std::int32_t chunks = chunkCount();
    if (target >= axisStart(chunks, axis))
        return ReplayCursor{count - 1, 1.0};
    // The first chunk whose end reaches the target.
    std::int32_t low = 0, high = chunks - 1;
    while (low < high) {
        const std::int32_t middle = low + (high - low) / 2;
        if (axisStart(middle + 1, axis) >= target)
            high = middle;
        else
            low = middle + 1;
    }
    const double share = untimedSeconds();
    double place = axisStart(low, axis);
    ReplayCursor found{std::min(count, (low + 1) * PaceChunkMoves) - 1, 1.0};
    walkChunk(low, [&](std::int32_t at, double seconds, bool untimed) {
        const double width = seconds + (axis == Axis::Timeline && untimed ? share : 0.0);
        if (place + width >= target && width > 0.0) {
            found = ReplayCursor{at, std::clamp((target - place) / width, 0.0, 1.0)};
            return false;
        }
        place += width;
        return true;
    });
    return found;
}

} // namespace

double paceSeconds()
{
    return axisStart(chunkCount(), Axis::Timeline);
}

double paceAt(ReplayCursor cursor)
{
    return placeOf(cursor, Axis::Timeline);
}

double elapsedAt(ReplayCursor cursor)
{
    return placeOf(cursor, Axis::Estimate);
}

ReplayCursor cursorAtPace(double seconds)
{
    return cursorAt(seconds, Axis::Timeline);
}

ReplayCursor cursorAtElapsed(double seconds)
{
    return cursorAt(seconds, Axis::Estimate);
}

ReplayCursor cursorAfterMove(std::int32_t number)
{
    if (number <= 0 || toolpath.moveCount <= 0)
        return ReplayCursor{};
    return ReplayCursor{std::min(number, toolpath.moveCount) - 1, 1.0};
}

double feedOfMove(std::int32_t move)
{
    if (move < 0 || move >= toolpath.moveCount || !paceRecorded())
        return 0.0;
    const JobPace& pace = toolpath.pace;
    if ((pace.untimedBits[static_cast<std::size_t>(move / PaceBitsPerWord)] >>
         (move % PaceBitsPerWord)) &
        1u)
        return 0.0;
    const auto change =
        std::upper_bound(pace.changes.begin(), pace.changes.end(), move,
                         [](std::int32_t m, const PaceChange& c) { return m < c.firstMove; });
    if (change == pace.changes.begin() || !((change - 1)->secondsPerMm > 0.0))
        return 0.0;
    return 60.0 / (change - 1)->secondsPerMm; // seconds per mm back to mm per minute
}

Move movePart(const Move& move, double fraction)
{
    Move part = move;
    if (fraction >= 1.0)
        return part;
    const double f = fraction > 0.0 ? fraction : 0.0;
    part.x2 = static_cast<float>(move.x1 + f * (static_cast<double>(move.x2) - move.x1));
    part.y2 = static_cast<float>(move.y1 + f * (static_cast<double>(move.y2) - move.y1));
    return part;
}
