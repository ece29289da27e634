// Keeps a replay's moves drawn between frames. A base image holds the background, the grid
// and every whole move before the last cursor; each band of rows keeps where its walk
// stands. A cursor further on walks only the moves it adds; a short step back draws again
// only the rows the moves stepped over can reach; any other change goes back to the nearest
// checkpoint at or before the cursor and walks on from there. A checkpoint holds, for each
// band, the walk's state and the changes of the tiles drawn into since the checkpoint
// before: on a raster those are a few rows, on a line drawing a few pixels of each tile, so
// all of them cost little more than a frame. A tile at a checkpoint is the empty picture's
// with the changes of every checkpoint up to it applied in turn.
// They are taken by one walk over the whole job after each change of the view, the options
// or the toolpath; when they outgrow their memory, every second one is merged away. Every
// frame is, pixel for pixel, the frame a walk over all the moves before the cursor draws.
//
// Longer than most files, and kept whole: taking, merging and restoring the checkpoints and
// the steps back all keep one invariant between a band's base, its marks and its
// checkpoints, which reads best in one place. How a tile's change is coded lives apart, in
// frame_tiles.
#include "view/replay_frames.h"

#include "model/job_pace.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/fan_out.h"
#include "view/band_walk.h"
#include "view/colour_scheme.h"
#include "view/frame_tiles.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

ReplayFrameOptions replayFrameOptions;

namespace {

// Moves between checkpoints to start with. A step back walks at most this many moves; the
// first frame after a change of view works out each checkpoint's tiles from those before
// it, which costs more the more checkpoints there are: at 65536, that took two thirds of
// the frame on a 2.5 million move job.
constexpr std::int32_t FirstInterval = 131072;
constexpr int MaxFrameBands = MaxShares;
constexpr std::int32_t StripStepMoves = 65536; // moves back a step may redraw by strips
constexpr int MaxStrips = 2;                  // runs of tile rows a step back redraws, at most
constexpr double BudgetShareOfMoves = 0.1;                 // of the bytes of the moves
constexpr std::size_t LeastBudgetBytes = 5u * 1024 * 1024; // the checkpoints of any job

constexpr std::size_t NoCheckpoint = static_cast<std::size_t>(-1);

// One band's stop at a checkpoint.
struct Checkpoint {
    BandWalkState state;
    CodedTiles tiles; // drawn into since the checkpoint before: how they changed
};

// A band of rows of the base, walked on its own thread. Its rows [top, bottom) are whole
// tile rows but for the frame's last.
struct FrameBand {
    int top = 0;
    int bottom = 0;
    std::size_t budget = 0;              // bytes its checkpoints may hold
    std::int64_t interval = 0;           // moves from one checkpoint to the next (doubled freely)
    std::vector<Checkpoint> checkpoints; // [i] at move i x interval; [0] the start, no tiles
    std::int32_t move = 0;               // the base's rows hold the moves before this
    BandWalkState state;                 // the walk's, before `move`
    std::size_t markedSince = 0;         // the marks hold every tile drawn into since this checkpoint
    std::size_t bytesHeld = 0; // by the checkpoints' tiles
    CodedTiles next;           // the marked tiles' changes, coded for the next checkpoint
    // Every tile of the band at checkpoint keptOf, the last one restored to (NoCheckpoint:
    // none), each as it differs from the empty picture.
    CodedTiles kept;
    std::size_t keptOf = NoCheckpoint;
    // The stop before the job's last move, where its end cursor (the last move whole) stands:
    // the changes of the tiles drawn into there since the last checkpoint.
    Checkpoint end;
    std::int32_t endMove = 0;
    // Per tile, all 0 between uses: made with the cache, so that no frame allocates.
    std::vector<std::uint8_t> touched; // by the moves a step back goes over
};

// Everything the base's pixels depend on: any change starts the cache again.
struct FrameKey {
    int width = 0, height = 0;
    ViewMapping view;
    double uiScale = 0.0;
    Settings options;
    ColourScheme scheme;
    const Move* moves = nullptr;
    std::int32_t count = 0;
    std::uint32_t revision = 0;
    double maxPower = 0.0;
    ReplayFrameOptions tuning;
    int bands = 0;
};

bool sameKey(const FrameKey& a, const FrameKey& b)
{
    const Settings& x = a.options;
    const Settings& y = b.options;
    return a.width == b.width && a.height == b.height && a.view == b.view && a.uiScale == b.uiScale &&
           x.greyByPower == y.greyByPower &&
           x.showTravel == y.showTravel && x.showBed == y.showBed && x.invertColours == y.invertColours &&
           x.inches == y.inches && std::memcmp(&a.scheme, &b.scheme, sizeof a.scheme) == 0 &&
           a.moves == b.moves && a.count == b.count && a.revision == b.revision && a.maxPower == b.maxPower &&
           a.tuning.firstInterval == b.tuning.firstInterval && a.tuning.budgetBytes == b.tuning.budgetBytes &&
           a.bands == b.bands;
}

struct ReplayFrames {
    bool valid = false;
    FrameKey key;
    TileGrid grid;
    // The empty picture (background and grid): each tile as it differs from a tile of
    // emptyFill. The frames are drawn from the base alone, so a frame need not paint it.
    std::uint32_t emptyFill = 0;
    CodedTiles empty;
    std::vector<std::uint32_t> base;  // width x height pixels
    std::vector<std::uint8_t> marks;  // per tile: drawn into since its band's markedSince
    bool stripsWalkable = false;      // the moves' chunk extents are ready for narrow walks
    std::vector<FrameBand> bands;
};

ReplayFrames frames;

Pixels basePixels()
{
    return Pixels{frames.base.data(), frames.key.width};
}

// Puts tile `tile` of the base back to the empty picture.
void putEmptyTile(std::int32_t tile)
{
    fillTile(tile, frames.emptyFill, basePixels(), frames.grid);
    applyTileChange(frames.empty, static_cast<std::size_t>(tile), basePixels(), frames.grid);
}

std::int32_t firstTile(const FrameBand& band)
{
    return band.top / DirtyTileRows * frames.grid.columns;
}

std::int32_t endTile(const FrameBand& band)
{
    return (band.bottom + DirtyTileRows - 1) / DirtyTileRows * frames.grid.columns;
}

PixelBand pixelBand(const FrameBand& band, Pixels pixels)
{
    return PixelBand{pixels.rows, pixels.stride, frames.key.width, frames.key.height, band.top, band.bottom};
}

// The move of checkpoint k, one the band holds (so within the job).
std::int32_t checkpointMove(const FrameBand& band, std::size_t k)
{
    assert(k < band.checkpoints.size());
    return static_cast<std::int32_t>(static_cast<std::int64_t>(k) * band.interval);
}

// Walks the band's base on over the moves up to `last`, marking the tiles it draws into.
void walkBase(FrameBand& band, std::int32_t last)
{
    assert(band.move <= last);
    if (band.move == last)
        return;
    walkBandStretch(pixelBand(band, basePixels()), frames.bands.size() > 1, band.move, last, nullptr,
                    band.state, TileMarks{frames.marks.data(), frames.grid.columns});
    band.move = last;
}

// Lets go of a checkpoint's tiles.
void releaseTiles(FrameBand& band, Checkpoint& c)
{
    band.bytesHeld -= codedBytes(c.tiles);
    c.tiles = CodedTiles{};
}

// One checkpoint in place of `earlier` and `later`: the tiles of both, each changed as
// by the earlier and then the later.
Checkpoint mergedCheckpoint(FrameBand& band, Checkpoint& earlier, Checkpoint& later)
{
    Checkpoint merged;
    merged.state = later.state;
    const std::vector<std::int32_t>& first = earlier.tiles.tiles;
    const std::vector<std::int32_t>& second = later.tiles.tiles;
    merged.tiles.codes.reserve(earlier.tiles.codes.size() + later.tiles.codes.size());
    for (std::size_t i = 0, j = 0; i < first.size() || j < second.size();) {
        if (j == second.size() || (i < first.size() && first[i] < second[j])) {
            copyCodedTile(merged.tiles, earlier.tiles, i++);
        } else if (i == first.size() || second[j] < first[i]) {
            copyCodedTile(merged.tiles, later.tiles, j++);
        } else {
            addJoinedChanges(merged.tiles, earlier.tiles, i++, later.tiles, j++, frames.grid);
        }
    }
    releaseTiles(band, earlier);
    releaseTiles(band, later);
    merged.tiles.tiles.shrink_to_fit();
    merged.tiles.offsets.shrink_to_fit();
    merged.tiles.codes.shrink_to_fit();
    band.bytesHeld += codedBytes(merged.tiles);
    return merged;
}

// Keeps every second checkpoint, each taking over the tiles of the one dropped before it.
// The last one is dropped when its number is odd: the base, past it, marks its tiles again.
void mergeCheckpoints(FrameBand& band)
{
    std::vector<Checkpoint>& old = band.checkpoints;
    const std::size_t last = old.size() - 1;
    assert(band.markedSince == last); // merged before the next checkpoint is taken
    std::vector<Checkpoint> kept;
    kept.reserve(last / 2 + 1);
    kept.push_back(std::move(old[0]));
    for (std::size_t i = 2; i <= last; i += 2)
        kept.push_back(mergedCheckpoint(band, old[i - 1], old[i]));
    if (last % 2 == 1) {
        for (const std::int32_t tile : old[last].tiles.tiles)
            frames.marks[static_cast<std::size_t>(tile)] = 1;
        releaseTiles(band, old[last]);
    }
    band.checkpoints = std::move(kept);
    band.markedSince = last / 2;
    band.interval *= 2;
}

// Tile `tile` as it is at the band's last checkpoint.
void tileAtLastCheckpoint(const FrameBand& band, std::int32_t tile, PackedTile& packed)
{
    fillTile(frames.emptyFill, packed);
    applyTileChange(frames.empty, static_cast<std::size_t>(tile), packed, frames.grid);
    for (std::size_t i = 1; i < band.checkpoints.size(); ++i) {
        const std::vector<std::int32_t>& tiles = band.checkpoints[i].tiles.tiles;
        const auto at = std::lower_bound(tiles.begin(), tiles.end(), tile);
        if (at != tiles.end() && *at == tile)
            applyTileChange(band.checkpoints[i].tiles, static_cast<std::size_t>(at - tiles.begin()), packed, frames.grid);
    }
}

// Codes into band.next how the band's marked tiles changed in the base since its last
// checkpoint.
void codeMarkedTiles(FrameBand& band)
{
    band.next.tiles.clear();
    band.next.offsets.clear();
    band.next.codes.clear();
    PackedTile before;
    for (std::int32_t tile = firstTile(band); tile < endTile(band); ++tile) {
        if (frames.marks[static_cast<std::size_t>(tile)] == 0)
            continue;
        tileAtLastCheckpoint(band, tile, before);
        codeTileChange(band.next, tile, basePixels(), before, frames.grid);
    }
}

// Makes a checkpoint of band.next (the marked tiles, coded) and the walk's state, and
// clears the marks.
Checkpoint checkpointOfNext(FrameBand& band)
{
    Checkpoint c;
    c.state = band.state;
    c.tiles.tiles = band.next.tiles;
    c.tiles.offsets = band.next.offsets;
    c.tiles.codes = band.next.codes;
    for (const std::int32_t tile : c.tiles.tiles)
        frames.marks[static_cast<std::size_t>(tile)] = 0;
    band.bytesHeld += codedBytes(c.tiles);
    return c;
}

// Notes a checkpoint at the band's move: its walk's state and the tiles drawn into since
// the last one, as they are now. When they do not fit in the budget, checkpoints are merged
// first; after a merge the move may no longer be a checkpoint's, and with none left to
// merge the interval grows instead.
void takeCheckpoint(FrameBand& band)
{
    codeMarkedTiles(band);
    const auto fits = [&band] {
        const CodedTiles& next = band.next; // its checkpoint's copies hold no spare room
        const std::size_t bytes = next.tiles.size() * sizeof(std::int32_t) +
                                  next.offsets.size() * sizeof(std::uint32_t) + next.codes.size();
        return band.bytesHeld + bytes <= band.budget;
    };
    while (!fits() && band.checkpoints.size() > 1) {
        const bool dropsLast = band.checkpoints.size() % 2 == 0;
        mergeCheckpoints(band);
        if (dropsLast) // its tiles are marked again
            codeMarkedTiles(band);
    }
    if (static_cast<std::int64_t>(band.checkpoints.size()) * band.interval != band.move)
        return;
    if (!fits()) {
        band.interval *= 2;
        return;
    }
    band.checkpoints.push_back(checkpointOfNext(band));
    band.markedSince = band.checkpoints.size() - 1;
}

// The walk over the whole job that takes the band's checkpoints; the base then holds it all.
void takeCheckpoints(FrameBand& band, std::int32_t firstInterval)
{
    band.interval = firstInterval;
    band.checkpoints.assign(1, Checkpoint{});
    band.bytesHeld = 0;
    band.move = 0;
    band.state = BandWalkState{};
    band.markedSince = 0;
    band.endMove = toolpath.moveCount - 1;
    while (band.move < band.endMove) {
        const std::int64_t next = static_cast<std::int64_t>(band.checkpoints.size()) * band.interval;
        walkBase(band, static_cast<std::int32_t>(std::min<std::int64_t>(next, band.endMove)));
        if (band.move == next)
            takeCheckpoint(band);
    }
    codeMarkedTiles(band);
    band.end = checkpointOfNext(band);
    for (const std::int32_t tile : band.end.tiles.tiles)
        frames.marks[static_cast<std::size_t>(tile)] = 1; // still drawn into since the last checkpoint
    band.next = CodedTiles{};
    walkBase(band, toolpath.moveCount);
}

// Keeps every tile of the band's base, which stands at checkpoint `k`, for restores to k:
// a tile then comes back by the empty picture's code and one more, not by those of every
// checkpoint before. Without memory there is none.
void keepCheckpointTiles(FrameBand& band, std::size_t k)
{
    band.keptOf = NoCheckpoint;
    band.kept.tiles.clear();
    band.kept.offsets.clear();
    band.kept.codes.clear();
    PackedTile empty;
    try {
        for (std::int32_t tile = firstTile(band); tile < endTile(band); ++tile) {
            fillTile(frames.emptyFill, empty);
            applyTileChange(frames.empty, static_cast<std::size_t>(tile), empty, frames.grid);
            codeTileChange(band.kept, tile, basePixels(), empty, frames.grid);
        }
    } catch (const std::bad_alloc&) {
        band.kept = CodedTiles{};
        return;
    }
    band.keptOf = k;
}

// Puts the band's base back to checkpoint `k`: the tiles marked, and those of the
// checkpoints between the marks' and k, start from the empty picture (the background and
// grid alone) and take the changes of the checkpoints up to k in turn; or come from the
// tiles kept at k. The base at a checkpoint restored to is kept so: a user stepping back
// again and again goes back to the same one.
void restoreCheckpoint(FrameBand& band, std::size_t k)
{
    const std::size_t low = std::min(band.markedSince, k);
    const std::size_t high = std::max(band.markedSince, k);
    for (std::size_t i = low + 1; i <= high; ++i) {
        for (const std::int32_t tile : band.checkpoints[i].tiles.tiles)
            frames.marks[static_cast<std::size_t>(tile)] = 1;
    }
    std::uint8_t* const marks = frames.marks.data();
    const bool kept = band.keptOf == k;
    for (std::int32_t tile = firstTile(band); tile < endTile(band); ++tile) {
        if (marks[tile] == 0)
            continue;
        putEmptyTile(tile);
        if (kept)
            applyTileChange(band.kept, static_cast<std::size_t>(tile - firstTile(band)), basePixels(), frames.grid);
    }
    for (std::size_t i = 1; i <= k && !kept; ++i) {
        const CodedTiles& c = band.checkpoints[i].tiles;
        for (std::size_t t = 0; t < c.tiles.size(); ++t) {
            if (marks[c.tiles[t]] != 0)
                applyTileChange(c, t, basePixels(), frames.grid);
        }
    }
    std::fill(marks + firstTile(band), marks + endTile(band), std::uint8_t{0});
    if (!kept && k > 0) // the empty picture comes back by one code already
        keepCheckpointTiles(band, k);
    band.state = band.checkpoints[k].state;
    band.move = checkpointMove(band, k);
    band.markedSince = k;
}

// Puts the tiles of tile rows [firstRow, endRow) of the base back to checkpoint `k`.
void restoreRows(FrameBand& band, int firstRow, int endRow, std::size_t k)
{
    const std::int32_t first = firstRow * frames.grid.columns;
    const std::int32_t end = std::min(endRow * frames.grid.columns, endTile(band));
    for (std::int32_t tile = first; tile < end; ++tile)
        putEmptyTile(tile);
    for (std::size_t i = 1; i <= k; ++i) {
        const CodedTiles& c = band.checkpoints[i].tiles;
        // The tiles are in rising order.
        const auto from = std::lower_bound(c.tiles.begin(), c.tiles.end(), first);
        for (std::size_t t = static_cast<std::size_t>(from - c.tiles.begin()); t < c.tiles.size() && c.tiles[t] < end; ++t)
            applyTileChange(c, t, basePixels(), frames.grid);
    }
}

// A short step back, drawn again only where it changes the base: the runs of tile rows the
// moves stepped back over can reach are put back to a checkpoint and walked on from there as
// bands of their own (a band's pixels never depend on the rows beyond it), from the latest
// checkpoint where such a narrow band's state can be told from the moves before it; the
// band's own state is told so too, or walked on from the checkpoint without drawing.
// false, with nothing changed, when the moves reach more runs than that is worth.
bool stepBackByStrips(FrameBand& band, std::int32_t target)
{
    std::vector<std::uint8_t>& touched = band.touched;
    const auto forget = [&] {
        std::fill(touched.begin() + firstTile(band), touched.begin() + endTile(band), std::uint8_t{0});
    };
    markMoveTiles(pixelBand(band, basePixels()), target, band.move, TileMarks{touched.data(), frames.grid.columns});
    const int firstRow = band.top / DirtyTileRows;
    const int endRow = (band.bottom + DirtyTileRows - 1) / DirtyTileRows;
    std::pair<int, int> runs[MaxStrips]; // tile rows [first, end)
    int count = 0;
    for (int row = firstRow; row < endRow; ++row) {
        const auto at = touched.begin() + static_cast<std::ptrdiff_t>(row) * frames.grid.columns;
        if (std::find(at, at + frames.grid.columns, std::uint8_t{1}) == at + frames.grid.columns)
            continue;
        if (count > 0 && runs[count - 1].second == row) {
            runs[count - 1].second = row + 1;
        } else {
            if (count == MaxStrips) {
                forget();
                return false;
            }
            runs[count++] = {row, row + 1};
        }
    }
    const std::size_t k = std::min(static_cast<std::size_t>(target / band.interval), band.checkpoints.size() - 1);
    const bool banded = frames.bands.size() > 1;
    BandWalkState state;
    if (!bandWalkStateBefore(pixelBand(band, basePixels()), banded, target, state)) {
        state = band.checkpoints[k].state;
        walkBandState(pixelBand(band, basePixels()), banded, checkpointMove(band, k), target, state);
    }
    for (int run = 0; run < count; ++run) {
        const PixelBand rows{frames.base.data(), frames.key.width, frames.key.width, frames.key.height,
                             runs[run].first * DirtyTileRows, std::min(band.bottom, runs[run].second * DirtyTileRows)};
        std::size_t from = k;
        BandWalkState stripState;
        while (from > 0 && !bandWalkStateBefore(rows, true, checkpointMove(band, from), stripState))
            --from;
        if (from == 0)
            stripState = BandWalkState{};
        restoreRows(band, runs[run].first, runs[run].second, from);
        walkBandStretch(rows, true, checkpointMove(band, from), target, nullptr, stripState, TileMarks{});
    }
    // The base now differs from the marks' checkpoint in these tiles too, when it is before it.
    // Only the band's own marks: the other bands' threads write theirs.
    for (std::int32_t tile = firstTile(band); tile < endTile(band); ++tile)
        frames.marks[static_cast<std::size_t>(tile)] |= touched[static_cast<std::size_t>(tile)];
    forget();
    band.state = state;
    band.move = target;
    return true;
}

// Puts the band's base at its stop before the job's last move: the last checkpoint, then
// the tiles drawn into since, which stay marked.
void restoreEnd(FrameBand& band)
{
    restoreCheckpoint(band, band.checkpoints.size() - 1);
    for (std::size_t t = 0; t < band.end.tiles.tiles.size(); ++t) {
        applyTileChange(band.end.tiles, t, basePixels(), frames.grid);
        frames.marks[static_cast<std::size_t>(band.end.tiles.tiles[t])] = 1;
    }
    band.state = band.end.state;
    band.move = band.endMove;
}

// Brings the band's base to the moves before `target`, from where it is when that is at
// least as near as the checkpoint before `target`, else from the stop before the last move
// or by strips or from that checkpoint; then copies its rows into the frame and draws `part`
// there.
void drawBand(FrameBand& band, std::int32_t target, const Move* part, Pixels frame)
{
    const std::size_t k = std::min(static_cast<std::size_t>(target / band.interval), band.checkpoints.size() - 1);
    const bool shortStepBack = band.move > target && band.move - target <= StripStepMoves && frames.stripsWalkable;
    if (target >= band.endMove && !(band.endMove <= band.move && band.move <= target)) {
        restoreEnd(band);
    } else if (shortStepBack && stepBackByStrips(band, target)) {
    } else if (band.move > target || band.move < checkpointMove(band, k)) {
        restoreCheckpoint(band, k);
    }
    walkBase(band, target);
    const std::size_t rowBytes = static_cast<std::size_t>(frames.key.width) * sizeof(std::uint32_t);
    for (int y = band.top; y < band.bottom; ++y)
        std::memcpy(frame.rows + y * frame.stride, frames.base.data() + static_cast<std::ptrdiff_t>(y) * frames.key.width,
                    rowBytes);
    if (part != nullptr) {
        BandWalkState state = band.state;
        walkBandStretch(pixelBand(band, frame), frames.bands.size() > 1, target, target, part, state, TileMarks{});
    }
}

// Runs work(band) for every band at once and waits for all.
template <typename Work> void forEachBand(Work work)
{
    runShares(static_cast<int>(frames.bands.size()),
              [&work](int index) { work(frames.bands[static_cast<std::size_t>(index)]); });
}

FrameKey currentKey(int width, int height)
{
    FrameKey key;
    key.width = width;
    key.height = height;
    key.view = viewMapping(width, height);
    key.uiScale = viewState.uiScale;
    key.options = settings;
    key.scheme = colourScheme;
    key.moves = toolpath.moves;
    key.count = toolpath.moveCount;
    key.revision = toolpath.revision;
    key.maxPower = toolpath.maxPower;
    key.tuning = replayFrameOptions;
    key.bands = std::min(moveBandCount(height), std::min(MaxFrameBands, (height + DirtyTileRows - 1) / DirtyTileRows));
    return key;
}

// Starts the cache again for `key` from the frame, which holds the background and grid,
// and takes the checkpoints; false when the memory cannot be had.
bool startFrames(const FrameKey& key, Pixels frame)
{
    releaseReplayFrames();
    frames.key = key;
    int bands = key.bands;
    frames.stripsWalkable = prepareBandWalks(bands);
    if (!frames.stripsWalkable)
        bands = 1;
    frames.grid = TileGrid{key.width, key.height, (key.width + DirtyTileWidth - 1) / DirtyTileWidth};
    const std::size_t tiles =
        static_cast<std::size_t>(frames.grid.columns) * static_cast<std::size_t>((key.height + DirtyTileRows - 1) / DirtyTileRows);
    try {
        frames.base.resize(static_cast<std::size_t>(key.width) * static_cast<std::size_t>(key.height));
        frames.marks.assign(tiles, 0);
        frames.bands.resize(static_cast<std::size_t>(bands));
        for (FrameBand& band : frames.bands)
            band.touched.assign(tiles, 0);
        // Coded against the colour of its first pixel, nearly always the background's.
        frames.emptyFill = frame.rows[0];
        PackedTile fill;
        fillTile(frames.emptyFill, fill);
        for (std::int32_t tile = 0; tile < static_cast<std::int32_t>(tiles); ++tile)
            codeTileChange(frames.empty, tile, frame, fill, frames.grid);
    } catch (const std::bad_alloc&) {
        releaseReplayFrames();
        return false;
    }
    for (int y = 0; y < key.height; ++y)
        std::memcpy(frames.base.data() + static_cast<std::ptrdiff_t>(y) * key.width, frame.rows + y * frame.stride,
                    static_cast<std::size_t>(key.width) * sizeof(std::uint32_t));
    const std::size_t budget =
        key.tuning.budgetBytes != 0
            ? key.tuning.budgetBytes
            : std::max(LeastBudgetBytes, static_cast<std::size_t>(BudgetShareOfMoves * sizeof(Move) *
                                                                  static_cast<double>(toolpath.moveCount)));
    const int tileRows = (key.height + DirtyTileRows - 1) / DirtyTileRows;
    for (int index = 0; index < bands; ++index) {
        FrameBand& band = frames.bands[static_cast<std::size_t>(index)];
        band.top = std::min(key.height, tileRows * index / bands * DirtyTileRows);
        band.bottom = index + 1 == bands ? key.height : tileRows * (index + 1) / bands * DirtyTileRows;
        band.budget = static_cast<std::size_t>(static_cast<double>(budget) * (band.bottom - band.top) / key.height);
    }
    const std::int32_t firstInterval = key.tuning.firstInterval > 0 ? key.tuning.firstInterval : FirstInterval;
    bool failed[MaxFrameBands] = {};
    forEachBand([&](FrameBand& band) {
        try {
            takeCheckpoints(band, firstInterval);
        } catch (const std::bad_alloc&) {
            failed[&band - frames.bands.data()] = true;
        }
    });
    if (std::find(failed, failed + bands, true) != failed + bands) {
        releaseReplayFrames();
        return false;
    }
    frames.valid = true;
    return true;
}

// The frame image's pixels, when replay frames can be drawn into it.
bool replayFrame(int width, int height, Pixels& frame)
{
    if (!replayFrameOptions.enabled || settings.showTravel || toolpath.moveCount <= 0)
        return false; // travel moves lie under the cuts: moves added later go beneath the base
    int imageWidth = 0, imageHeight = 0, bytesPerLine = 0;
    std::uint32_t* rows = imagePixelRows(FrameImageSlot, imageWidth, imageHeight, bytesPerLine);
    if (rows == nullptr || imageWidth != width || imageHeight != height)
        return false;
    frame = Pixels{rows, bytesPerLine / static_cast<std::ptrdiff_t>(sizeof(std::uint32_t))};
    return true;
}

} // namespace

bool replayFramesKept(int width, int height)
{
    Pixels frame{};
    return replayFrame(width, height, frame) && frames.valid && sameKey(frames.key, currentKey(width, height));
}

bool drawReplayMoves(int width, int height)
{
    Pixels frame{};
    if (!replayFrame(width, height, frame))
        return false;
    const FrameKey key = currentKey(width, height);
    if (!(frames.valid && sameKey(frames.key, key)) && !startFrames(key, frame))
        return false;

    const ReplayCursor cursor = replayDrawing.cursor;
    const std::int32_t target = std::clamp(cursor.move, 0, toolpath.moveCount);
    Move part{};
    const bool partDrawn = target < toolpath.moveCount && cursor.fraction > 0.0;
    if (partDrawn)
        part = movePart(toolpath.moves[target], cursor.fraction);
    forEachBand([&](FrameBand& band) { drawBand(band, target, partDrawn ? &part : nullptr, frame); });
    return true;
}

void releaseReplayFrames()
{
    frames = ReplayFrames{};
}

std::size_t replayFramesBytes()
{
    std::size_t bytes = frames.base.capacity() * sizeof(std::uint32_t) + frames.marks.capacity();
    for (const FrameBand& band : frames.bands) {
        bytes += band.bytesHeld + codedBytes(band.next) + codedBytes(band.kept);
    }
    return bytes;
}
