// One load's pass over a file's lines in file order, on the calling thread.
#include "model/load_pass.h"

#include <cassert>

#include "model/interpreter.h"
#include "model/loading_progress.h"

namespace gcode_lines {

namespace {

void showProgress(const Progress& progress, int percent)
{
    if (loadingProgressHook != nullptr)
        loadingProgressHook(*progress.name, percent);
}

} // namespace

void beginLoad(Load& load, const std::string& name, std::int64_t size)
{
    clearToolpath();
    load.modes.arcs = loadArcs;
    load.progress = Progress{&name, size, -1};
    showProgress(load.progress, 0);
}

// At every 20000th line: the share of the file before this line, shown when it changes.
void checkProgress(Progress& progress, std::int64_t offset)
{
    if (progress.fileSize <= 0)
        return;
    const int percent = static_cast<int>(offset * 100 / progress.fileSize);
    if (percent != progress.lastPercent) {
        progress.lastPercent = percent;
        showProgress(progress, percent);
    }
}

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

} // namespace gcode_lines
