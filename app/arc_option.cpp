// The choice between arcs drawn as arcs and arcs drawn as straight lines: an option on the
// canvas's right-button menu, and a short note when a file's arcs are drawn straight.
#include "app/arc_option.h"

#include "app/follow_file.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/replay.h"
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "platform/canvas_menu.h"
#include "platform/toolkit.h"
#include "view/canvas_texts.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/settings.h"

#include <string>
#include <vector>

namespace {

std::string noteText()
{
    return tr(
        "Los arcos (G2/G3) se dibujan como rectas. Clic derecho en el dibujo para "
        "dibujarlos como arcos.",
        "Arcs (G2/G3) are drawn as straight lines. Right-click the drawing to draw them as arcs.");
}

// Takes the note off; the caller presents the canvas again.
void hideNote()
{
    if (canvasFootNote.empty())
        return;
    canvasFootNote.clear();
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
    keepReplayPlaceInJob(); // the same job in other moves: a replay keeps its line
    reloadFollowedFile();   // the same file, its arcs the other way
    forgetReplayPlaceInJob();
}

void noteStraightArcs()
{
    const bool wasShown = !canvasFootNote.empty();
    hideNote();
    if (settings.arcs == 0 && toolpath.moveCount > 0 && toolpath.straightArcs > 0) {
        canvasFootNote = noteText();
        startTimer(mainWindow, ArcNoteTimer, ArcNoteMs);
    } else if (!wasShown) {
        return; // the canvas shows no note, and none is due
    }
    presentAgain(); // the open has presented its picture with the old note on it
}

void onArcNoteTimer()
{
    hideNote();
    presentAgain(); // where a drag has pulled the drawing, it stays
}
