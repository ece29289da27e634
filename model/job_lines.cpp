// Tells which line of the file made a move, from the steps the load noted, and reads that
// line's text from the file.
#include "model/job_lines.h"

#include "model/toolpath.h"

#include <algorithm>
#include <cstdio>
#include <new>

void clearJobLines(JobLines& lines)
{
    lines.longSteps.clear();
    lines.chunkLines.clear();
    lines.reading = LineMark{};
    lines.lastMoveLine = 0;
    lines.block = nullptr;
    lines.incomplete = false;
}

void noteLineSlowly(JobLines& lines, std::int32_t move, std::int64_t count)
{
    if (lines.incomplete)
        return;
    try {
        if (move % PaceChunkMoves == 0) {
            const std::size_t block = static_cast<std::size_t>(move / StepBlockMoves);
            if (lines.stepBlocks.size() <= block) // a block's memory is kept from load to load
                lines.stepBlocks.emplace_back(new LineStep[StepBlockMoves]); // left unfilled
            lines.block = lines.stepBlocks[block].get();
            lines.chunkLines.push_back(lines.reading);
        }
        if (count >= static_cast<std::int64_t>(LongStepMark)) {
            lines.block[move & (StepBlockMoves - 1)] = LongStepMark;
            lines.longSteps.push_back(LongLineStep{move, count});
        } else {
            lines.block[move & (StepBlockMoves - 1)] = static_cast<LineStep>(count);
        }
    } catch (const std::bad_alloc&) {
        lines.incomplete = true;
    }
}

namespace {

constexpr std::size_t ReadBytes = 16384; // read from the file at a time
constexpr char LineFeed = '\n';

bool linesRecorded()
{
    const JobLines& lines = toolpath.lines;
    const std::size_t chunks =
        static_cast<std::size_t>((toolpath.moveCount + PaceChunkMoves - 1) / PaceChunkMoves);
    return !lines.incomplete && lines.chunkLines.size() == chunks &&
           lines.stepBlocks.size() * StepBlockMoves >= static_cast<std::size_t>(toolpath.moveCount);
}

std::int64_t stepBefore(std::int32_t move)
{
    const JobLines& lines = toolpath.lines;
    const LineStep step =
        lines.stepBlocks[static_cast<std::size_t>(move / StepBlockMoves)][move & (StepBlockMoves - 1)];
    if (step != LongStepMark)
        return static_cast<std::int64_t>(step);
    const auto found =
        std::lower_bound(lines.longSteps.begin(), lines.longSteps.end(), move,
                         [](const LongLineStep& s, std::int32_t m) { return s.move < m; });
    return found != lines.longSteps.end() && found->move == move ? found->lines : 0;
}

// The text of the line `skip` line feeds after byte `offset` of the file, cut at
// MaxLineTextBytes; false when the file cannot be read that far.
bool readLine(const std::string& path, std::int64_t offset, std::int64_t skip, std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bool found = false;
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0) {
        char buffer[ReadBytes];
        std::size_t got = 0;
        while (!found && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            for (std::size_t i = 0; i < got; ++i) {
                if (skip > 0) {
                    skip -= buffer[i] == LineFeed;
                    continue;
                }
                if (buffer[i] == LineFeed || text.size() >= MaxLineTextBytes) {
                    found = true;
                    break;
                }
                text += buffer[i];
            }
        }
        found = found || (skip == 0 && std::feof(file)); // a last line without a line feed
    }
    std::fclose(file);
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return found;
}

} // namespace

std::int64_t lineOfMove(std::int32_t move)
{
    if (move < 0 || move >= toolpath.moveCount || !linesRecorded())
        return 0;
    const std::int32_t chunk = move / PaceChunkMoves;
    std::int64_t number = toolpath.lines.chunkLines[static_cast<std::size_t>(chunk)].number;
    for (std::int32_t m = chunk * PaceChunkMoves + 1; m <= move; ++m)
        number += stepBefore(m);
    return number;
}

std::int32_t firstMoveFromLine(std::int64_t number)
{
    if (!linesRecorded())
        return -1;
    const std::vector<LineMark>& marks = toolpath.lines.chunkLines;
    // The chunks' first lines rise with the moves: the move sought lies in the last chunk
    // that begins before the line, or begins the chunk after it.
    const auto after = std::lower_bound(marks.begin(), marks.end(), number,
                                        [](const LineMark& mark, std::int64_t n) { return mark.number < n; });
    if (after == marks.begin())
        return 0;
    const std::int32_t chunk = static_cast<std::int32_t>(after - marks.begin()) - 1;
    const std::int32_t end = std::min(toolpath.moveCount, (chunk + 1) * PaceChunkMoves);
    std::int64_t line = marks[static_cast<std::size_t>(chunk)].number;
    for (std::int32_t m = chunk * PaceChunkMoves + 1; m < end; ++m) {
        line += stepBefore(m);
        if (line >= number)
            return m;
    }
    return end;
}

JobLine jobLineOf(const std::string& path, std::int32_t move)
{
    JobLine line;
    line.number = lineOfMove(move);
    if (line.number == 0)
        return line;
    const LineMark& start = toolpath.lines.chunkLines[static_cast<std::size_t>(move / PaceChunkMoves)];
    if (!readLine(path, start.offset, line.number - start.number, line.text))
        line.text.clear();
    return line;
}
