// Keeps the shown file in step with the disk: a change that has settled, or F5, loads it
// again, and a load that fails keeps the last good drawing.
#include "app/follow_file.h"

#include "app/main_window.h"
#include "app/open_file.h"
#include "app/replay.h"
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "platform/file_watch.h"
#include "platform/paths.h"
#include "platform/toolkit.h"
#include "view/canvas_texts.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/status_line.h"

std::string followedPath;

namespace {

// What the canvas says while the drawing is older than the file.
std::string reloadFailureText(ReloadResult result, const std::string& name)
{
    const char* reason = "";
    switch (result) {
    case ReloadResult::Gone: reason = tr("ya no existe", "gone"); break;
    case ReloadResult::Unreadable: reason = tr("no se puede leer", "unreadable"); break;
    case ReloadResult::CutShort: reason = tr("a medio escribir", "still being written"); break;
    case ReloadResult::OutOfMemory: reason = tr("sin memoria suficiente", "out of memory"); break;
    case ReloadResult::TooManyFiles:
        reason = tr("demasiados ficheros abiertos", "too many open files");
        break;
    case ReloadResult::TooLarge: reason = tr("demasiado grande", "too large"); break;
    case ReloadResult::Loaded: break;
    }
    return tr("No se ha podido recargar ", "Could not reload ") + name + " (" + reason + ")" +
           tr("; se muestra la \u00faltima versi\u00f3n le\u00edda.",
              "; showing the last version read.");
}

// Loads the followed file again. true when the file changed while it was being loaded:
// the change may have come during the loading picture, which drops every event, so the
// caller waits for it to settle once more.
bool reload()
{
    if (followedPath.empty())
        return false;
    const bool wasDrawn = toolpath.moveCount > 0;
    const FileStamp before = fileStamp(followedPath);
    const ReloadResult result = reloadGcodeFile(followedPath);
    watchFile(followedPath); // a file renamed over the old one is watched from now on
    if (result == ReloadResult::Loaded) {
        canvasNotice.clear();
        keepReplayAfterReload();
        showLoadedFile(wasDrawn);
    } else {
        // Nothing was touched: the last good drawing and toolpath stay as they are, with
        // the reason over them; the summary under the canvas stays whole.
        canvasNotice = reloadFailureText(result, filePart(followedPath));
        redraw();
    }
    updateStatusLine();
    return !(fileStamp(followedPath) == before);
}

} // namespace

void followFile(const std::string& path, const FileStamp& loaded)
{
    followedPath = path;
    canvasNotice.clear();
    stopTimer(mainWindow, FollowTimer); // a wait for the old file is over
    watchFile(path);
    // A change while the file was being loaded came before the watch: it is taken up now.
    if (!path.empty() && !(fileStamp(path) == loaded))
        onFollowedFileChanged();
}

void onFollowedFileChanged()
{
    if (!followedPath.empty())
        startTimer(mainWindow, FollowTimer, FollowSettleMs);
}

void onFollowTimer()
{
    reloadFollowedFile();
}

void reloadFollowedFile()
{
    stopTimer(mainWindow, FollowTimer);
    if (reload())
        startTimer(mainWindow, FollowTimer, FollowSettleMs);
}
