// Follows the one file the window shows through Qt's file system watcher. Programs often
// save by writing a new file and renaming it over the old one, which ends the watch on the
// old file, so its folder is watched as well and the file is taken up again when it returns.
#include "platform/file_watch.h"

#include "platform/event_queue.h"
#include "platform/toolkit_state.h"
#include "platform/toolkit_types.h"

#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>

#include <sys/stat.h>

namespace {

constexpr std::int64_t NsPerSecond = 1000000000;

struct FileWatch {
    QPointer<QFileSystemWatcher> watcher; // owned by the application object
    std::string path;                     // "" while nothing is watched
    QString file;                         // the same path, for the watcher
    FileStamp stamp;                      // as it was when last reported
};

FileWatch watch;

// The watch on a file ends when the file is removed or renamed away; a file that has come
// back under the name is watched again.
void takeUpFile()
{
    if (watch.watcher && !watch.watcher->files().contains(watch.file) && QFileInfo::exists(watch.file))
        watch.watcher->addPath(watch.file);
}

void onFileChanged()
{
    takeUpFile();
    watch.stamp = fileStamp(watch.path);
    postLayerEvent(FileChangedEvent, 0, MainWindowNumber);
}

// The folder changes with every file in it; only a change of the watched one counts.
void onFolderChanged()
{
    takeUpFile();
    const FileStamp now = fileStamp(watch.path);
    if (now == watch.stamp)
        return;
    watch.stamp = now;
    postLayerEvent(FileChangedEvent, 0, MainWindowNumber);
}

QFileSystemWatcher* watcher()
{
    if (!watch.watcher && toolkit.valid && toolkit.app != nullptr) {
        watch.watcher = new QFileSystemWatcher(toolkit.app);
        watch.path.clear(); // the watcher of an earlier toolkit watched nothing this one does
        watch.file.clear();
        QObject::connect(watch.watcher, &QFileSystemWatcher::fileChanged, [](const QString& changed) {
            if (changed == watch.file)
                onFileChanged();
        });
        QObject::connect(watch.watcher, &QFileSystemWatcher::directoryChanged,
                         [](const QString&) { onFolderChanged(); });
    }
    return watch.watcher;
}

} // namespace

FileStamp fileStamp(const std::string& path)
{
    FileStamp stamp;
    struct stat status;
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = status.st_size;
    stamp.modifiedNs =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * NsPerSecond + status.st_mtim.tv_nsec;
    stamp.inode = status.st_ino;
    return stamp;
}

void watchFile(const std::string& path)
{
    QFileSystemWatcher* w = watcher();
    if (w == nullptr)
        return;
    if (path != watch.path) {
        const QStringList watched = w->files() + w->directories();
        if (!watched.isEmpty())
            w->removePaths(watched);
        purgeEvents(FileChangedEvent, 0); // news of the old file
        watch.path = path;
        watch.file = QString::fromStdString(path);
        if (!path.empty())
            w->addPath(QFileInfo(watch.file).absolutePath());
    }
    if (path.empty())
        return;
    takeUpFile();
    watch.stamp = fileStamp(path);
}
