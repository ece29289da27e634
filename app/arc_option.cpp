// The choice between arcs drawn as arcs and arcs drawn as straight lines: an option on the
// canvas's right-button menu, and a short note when a file's arcs are drawn straight.
#include "app/arc_option.h"

#include "app/follow_file.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "platform/canvas_menu.h"
#include "platform/drawing.h"
#include "platform/numtext.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_state.h"

#include <string>
#include <vector>

namespace {

constexpr double NotePadding = 6.0;     // layout units around the note's text
constexpr double NoteFromBottom = 30.0; // layout units above the canvas's foot, clear of its ruler band

bool noteShown = false; // the note is on the canvas and its timer runs

std::string noteText()
{
    return tr(
        "Los arcos (G2/G3) se dibujan como rectas. Clic derecho en el dibujo para "
        "dibujarlos como arcos.",
        "Arcs (G2/G3) are drawn as straight lines. Right-click the drawing to draw them as arcs.");
}

// The note in a framed box at the foot of the canvas, over the picture shown there.
void paintNote()
{
    if (!beginCanvasRaster(Canvas))
        return;
    const std::string text = noteText();
    const int padding = truncate(NotePadding * viewState.uiScale);
    const int width = rasterTextWidth(text) + 2 * padding;
    const int height = rasterTextHeight(text) + 2 * padding;
    const int left = (rasterWidth() - width) / 2;
    const int top = rasterHeight() - height - truncate(NoteFromBottom * viewState.uiScale);
    rasterBox(left, top, width, height, colourScheme.background);
    rasterMode(RasterOutline);
    rasterBox(left, top, width, height, colourScheme.hintText);
    rasterMode(RasterTransparentText);
    rasterText(left + padding, top + padding, text, colourScheme.hintText);
    endRaster();
}

void hideNote()
{
    if (!noteShown)
        return;
    noteShown = false;
    stopTimer(mainWindow, ArcNoteTimer);
}

} // namespace

void applyArcsOption()
{
    loadArcs = settings.arcs != 0;
}

void onCanvasMenu()
{
    const std::vector<MenuItem> items = {
        {tr("Dibujar los arcos (G2/G3) como arcos", "Draw arcs (G2/G3) as arcs"), settings.arcs != 0},
    };
    if (popUpMenu(Canvas, eventPointerX(Canvas), eventPointerY(Canvas), items) != 0)
        return;
    settings.arcs = settings.arcs != 0 ? 0 : 1;
    applyArcsOption();
    hideNote();
    reloadFollowedFile(); // the same file, its arcs the other way
}

void noteStraightArcs()
{
    hideNote();
    if (settings.arcs != 0 || toolpath.moveCount == 0 || toolpath.straightArcs == 0)
        return;
    noteShown = true;
    startTimer(mainWindow, ArcNoteTimer, ArcNoteMs);
    paintNote();
}

void keepArcNote(int kind)
{
    // A pointer moving over the canvas redraws nothing; a drag shows the note again when it ends.
    if (!noteShown || (kind == ControlEvent && eventNumber() == Canvas && eventType() == MouseMove))
        return;
    paintNote();
}

void onArcNoteTimer()
{
    hideNote();
    if (dragActive)
        presentShifted(dragDX, dragDY); // the drawing stays where the drag has pulled it
    else
        presentShifted(0, 0);
}
