// Paints the toolpath, grid and rulers into the off-screen frame and shows it on the canvas,
// keeping large files fast by culling, merging sub-pixel segments and drawing the moves
// straight into the frame's pixels on every core.
#include "view/renderer.h"

#include "model/toolpath.h"
#include "platform/drawing.h"
#include "view/canvas_texts.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/frame_bands.h"
#include "view/move_walk.h"
#include "view/replay_frames.h"
#include "view/replay_marker.h"
#include "view/replay_timeline.h"
#include "view/rulers.h"
#include "view/settings.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

#include <cmath>
#include <cstdint>

std::string canvasMessage;
std::uint64_t greyEvaluations = 0;
std::uint64_t segmentsWalked = 0;
RendererOptions rendererOptions;
ReplayDrawing replayDrawing;

namespace {

int shownShiftX = 0, shownShiftY = 0; // where presentShifted last put the frame, device pixels

constexpr int FrameDepth = 24;              // bits per pixel of frameImage
constexpr double LineWidth = 1.0;           // device pixels, at every zoom
constexpr int MaxSegmentsPerStroke = 4000;  // path elements handed to one stroke call
constexpr double ChainTolerance = 0.01;     // device pixels; closer ends share a figure
constexpr double NoLastEnd = -1000000000.0; // device pixels; a position no segment ends at
constexpr unsigned Opaque = 255;            // alpha

// Hands the segments to the vector context: touching segments chained into one figure,
// one stroke per run of colour and at most MaxSegmentsPerStroke per stroke.
struct StrokeSink {
    int segments = 0;
    double lastEndX = NoLastEnd;
    double lastEndY = NoLastEnd;

    void changeColour(ColourValue colour)
    {
        if (segments >= 1) {
            strokeSolid(LineWidth);
            segments = 0;
        }
        setPaintColour(colour);
        lastEndX = NoLastEnd;
    }

    void segment(double x1, double y1, double x2, double y2)
    {
        if (std::fabs(x1 - lastEndX) > ChainTolerance || std::fabs(y1 - lastEndY) > ChainTolerance)
            pathMoveTo(x1, y1);
        pathLineTo(x2, y2);
        lastEndX = x2;
        lastEndY = y2;
        if (++segments >= MaxSegmentsPerStroke) {
            strokeSolid(LineWidth);
            segments = 0;
            lastEndX = NoLastEnd; // the stroke emptied the path
        }
    }

    void finish()
    {
        if (segments >= 1)
            strokeSolid(LineWidth);
    }
};
} // namespace

void redraw()
{
    refreshCanvasMetrics();
    const int width = viewState.canvasWidth;
    const int height = viewState.canvasHeight;
    if (width < 1 || height < 1)
        return;

    int imageWidth = 0;
    int imageHeight = 0;
    imageSize(FrameImageSlot, imageWidth, imageHeight);
    if (!imageExists(FrameImageSlot) || imageWidth != width || imageHeight != height) {
        if (imageExists(FrameImageSlot))
            deleteImage(FrameImageSlot);
        newImage(FrameImageSlot, width, height, FrameDepth, colourScheme.background);
    }

    if (toolpath.moveCount <= 0) {
        paintCanvasMessage(width, height);
        paintCanvasNotice(width, height, 0);
        presentShifted(0, 0);
        return;
    }

    const ViewMapping view = viewMapping();
    if (beginVector(FrameImageSlot)) {
        // A replay's kept frame holds the background and grid too.
        if (!(replayDrawing.active && rendererOptions.moveDrawing == MoveDrawing::Direct &&
              replayFramesKept(width, height))) {
            const ColourValue background = colourScheme.background;
            setPaintColour(makeRgba(redOf(background), greenOf(background), blueOf(background), Opaque));
            paintAll();
            if (settings.showBed)
                drawGrid(view);
        }
        if (rendererOptions.moveDrawing == MoveDrawing::Painter) {
            StrokeSink sink;
            PassWalk walk;
            walkPasses(view, sink, walk);
            greyEvaluations += walk.greys;
            segmentsWalked = walk.segments;
        }
        // The painter lets go of the frame, so that its pixels are all in the image for the
        // moves drawn straight into them and for the texts; it takes it back for the rulers.
        endVector();
        if (rendererOptions.moveDrawing == MoveDrawing::Direct) {
            // A replay's frame starts from the moves drawn for its last one, where it can.
            if (!replayDrawing.active)
                releaseReplayFrames();
            if (!(replayDrawing.active && drawReplayMoves(width, height)))
                drawMovesIntoFrame(view);
        } else if (rendererOptions.moveDrawing == MoveDrawing::WalkOnly) {
            NoSink sink;
            PassWalk walk;
            walkPasses(view, sink, walk);
            greyEvaluations += walk.greys;
            segmentsWalked = walk.segments;
        }
        // Moves are loaded but the options draw none of them: say why the bed is empty. The
        // rulers go over the hint, as they go over everything drawn on the bed.
        const double r = settings.showBed ? viewState.uiScale : 0.0;
        const int leftBand = static_cast<int>(std::ceil(RulerBandWidth * r));
        const int bottomBand = static_cast<int>(std::ceil(RulerBandHeight * r));
        if (!settings.showTravel && !toolpath.cutBounds.valid)
            paintNothingDrawnHint(width, height, leftBand, bottomBand);
        if (settings.showBed && beginVector(FrameImageSlot)) {
            drawRulers(view);
            endVector();
        }
        if (replayDrawing.active && replayDrawing.marker)
            drawReplayMarker(view); // over the rulers: the tool's place is never hidden
        paintCanvasNotice(width, height, leftBand);
    }
    presentShifted(0, 0);
}

void presentShifted(int dx, int dy)
{
    shownShiftX = dx;
    shownShiftY = dy;
    if (!beginCanvasRaster(Canvas))
        return;
    const bool haveFrame = imageExists(FrameImageSlot);
    if (dx != 0 || dy != 0 || !haveFrame)
        rasterBox(0, 0, rasterWidth(), rasterHeight(), colourScheme.background);
    if (haveFrame)
        rasterDrawImage(FrameImageSlot, dx, dy);
    // These stay in their places while the drawing is dragged.
    paintReplayOverlay();
    paintFootNote();
    paintPointerReadout();
    endRaster();
}

void presentAgain()
{
    presentShifted(shownShiftX, shownShiftY);
}
