// Opens a G-code file from the dialog, a drop or the command line and brings the window
// up to date: title, view, canvas message and status line.
#include "app/open_file.h"

#include "app/arc_option.h"
#include "app/follow_file.h"
#include "app/main_window.h"
#include "app/replay.h"
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "platform/desktop.h"
#include "platform/file_watch.h"
#include "platform/paths.h"
#include "platform/toolkit.h"
#include "view/controls.h"
#include "view/canvas_texts.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/status_line.h"
#include "view/view_commands.h"
#include "view/view_state.h"

std::string lastFilePath;

namespace {

constexpr int GcodeFilterIndex = 0; // the dialog starts on the G-code filter

} // namespace

std::string openDialogPattern()
{
    return std::string("G-code (*.gc, *.gcode)|*.gc;*.gcode|") + tr("Todos los ficheros", "All files") +
           " (*.*)|*.*|" + tr("Programas CNC", "CNC programs") +
           " (*.nc, *.ngc, *.tap, *.cnc)|*.nc;*.ngc;*.tap;*.cnc";
}

void openFile(const std::string& path)
{
    if (path.empty())
        return;
    endReplayForOpen();
    setControlText(StatusText, "");
    const FileStamp before = fileStamp(path);
    if (loadGcodeFile(path)) {
        lastFilePath = path;
        followFile(path, before);
        if (loadCutShort)
            canvasNotice = tr("Sin memoria suficiente: el trabajo mostrado est\u00e1 incompleto.",
                              "Out of memory: the job shown is cut short.");
        setWindowTitle(mainWindow, std::string(WindowTitle) + " - " + filePart(path));
        showLoadedFile(false); // every new file is shown whole, whatever the previous zoom
        focusControl(Canvas);  // the keys of the replay reach it at once, not a button
    } else {
        // The old drawing must not stay on screen as if it belonged to this file.
        clearToolpath();
        followFile("", FileStamp{}); // nothing of that file is shown, so there is nothing to follow
        setWindowTitle(mainWindow, WindowTitle);
        canvasMessage = tr("No se ha podido abrir ", "Could not open ") + filePart(path);
        redraw();
    }
    updateStatusLine();
    noteStraightArcs();
}

void showLoadedFile(bool keepView)
{
    if (toolpath.moveCount == 0) {
        canvasMessage = tr("El fichero no contiene movimientos.", "The file contains no moves.");
        redraw();
    } else if (keepView && !viewState.autoFit) {
        redraw(); // the user's zoom and centre stay on the new version
    } else {
        fitView();
    }
}

void openFileFromDialog()
{
    const std::string path =
        openFileDialog(tr("Abrir fichero G-code", "Open G-code file"), folderPart(lastFilePath),
                       openDialogPattern(), GcodeFilterIndex);
    if (!path.empty())
        openFile(path);
}
