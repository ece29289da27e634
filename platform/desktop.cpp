// Desktop services on Qt: the screens, the interface language, the open-file dialog, the
// browser, the command line and the per-user configuration folder.
#include "platform/desktop.h"

#include "platform/language_ids.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"
#include "platform/window_widget.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QScreen>
#include <QSettings>
#include <QTranslator>
#include <QUrl>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

struct Desktop {
    int x = 0, y = 0, width = 0, height = 0; // device pixels
};

std::vector<Desktop> desktops;

constexpr int PrimaryLanguageMask = 0x3FF;              // low bits of a Windows language identifier
constexpr int SpanishLanguage = 0x0A;                   // primary language of every Spanish region
constexpr const char* QtSpanishCatalogue = "qtbase_es"; // Qt's own texts in Spanish

int devicePixels(double logical, double ratio)
{
    return static_cast<int>(std::lround(logical * ratio));
}

Desktop desktopOf(const QScreen* screen)
{
    const QRect g = screen->geometry();
    const double r = screen->devicePixelRatio();
    return Desktop{devicePixels(g.x(), r), devicePixels(g.y(), r), devicePixels(g.width(), r),
                   devicePixels(g.height(), r)};
}

void rebuildDesktops()
{
    desktops.clear();
    if (!toolkit.valid) {
        desktops.push_back(Desktop{});
        return;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr)
        desktops.push_back(desktopOf(primary));
    for (const QScreen* s : QGuiApplication::screens())
        if (s != primary)
            desktops.push_back(desktopOf(s));
    if (desktops.empty())
        desktops.push_back(Desktop{});
}

const Desktop* desktopAt(int index)
{
    if (desktops.empty())
        rebuildDesktops();
    if (index < 0 || index >= static_cast<int>(desktops.size()))
        return nullptr;
    return &desktops[static_cast<size_t>(index)];
}

std::string envText(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

// A file name the dialog can be given. Linux names may hold any byte but "/"; control
// characters cannot be shown in the name field, and the dialog takes a name with "*" or
// "?" as a filter rather than a file.
bool validFileName(std::string_view name)
{
    for (unsigned char c : name) {
        if (c < 32 || c == 127 ||
            std::string_view("*?/").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

// On Linux "*.*" matches only names with a dot; the pattern means every file.
QString nameMask(const QString& mask)
{
    return mask == QStringLiteral("*.*") ? QStringLiteral("*") : mask;
}

// "label|filter|label|filter" with ";"-separated masks as Qt name filters "label (masks)".
QStringList nameFilters(const std::string& pattern)
{
    const QStringList parts = qtText(pattern).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        // Qt shows the masks in parentheses itself; a label that lists them already loses
        // its own list so that it is not shown twice.
        if (label.endsWith(QLatin1Char(')'))) {
            const qsizetype open = label.lastIndexOf(QLatin1Char('('));
            if (open > 0)
                label = label.left(open).trimmed();
        }
        QStringList masks;
        for (const QString& m : parts[i + 1].split(QLatin1Char(';')))
            if (!m.trimmed().isEmpty())
                masks << nameMask(m.trimmed());
        if (masks.isEmpty())
            masks << QStringLiteral("*");
        filters << label + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

} // namespace

int desktopCount()
{
    rebuildDesktops();
    return static_cast<int>(desktops.size());
}

int desktopX(int index)
{
    const Desktop* d = desktopAt(index);
    return d ? d->x : 0;
}
int desktopY(int index)
{
    const Desktop* d = desktopAt(index);
    return d ? d->y : 0;
}
int desktopWidth(int index)
{
    const Desktop* d = desktopAt(index);
    return d ? d->width : 0;
}
int desktopHeight(int index)
{
    const Desktop* d = desktopAt(index);
    return d ? d->height : 0;
}

int userInterfaceLanguage()
{
    // LANGUAGE is a colon list of preferences; its first entry counts.
    std::string language = envText("LANGUAGE");
    language = language.substr(0, language.find(':'));
    if (!language.empty())
        return languageIdForLocale(language);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string v = envText(name);
        if (!v.empty())
            return languageIdForLocale(v);
    }
    return languageIdForLocale("C");
}

std::string openFileDialog(const std::string& title, const std::string& initialPath,
                           const std::string& pattern, int patternIndex)
{
    if (!toolkit.valid)
        return {};
    QWidget* owner = QApplication::activeWindow();
    if (owner == nullptr && !toolkit.windows.empty())
        owner = toolkit.windows.front();
    // Qt's own dialog keeps its history, the folders browsed and its sidebar in the user's
    // QtProject.conf. Our settings file is the only file the program may write, and a
    // QtProject.conf of another program must stay untouched, so Qt's per-user settings are
    // pointed below /dev/null: a folder that cannot exist, so nothing is read or written.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    // The dialog's own texts ("Look in:", "Open", ...) come from Qt; with a Spanish
    // interface they come from Qt's Spanish catalogue, loaded for the dialog's life only.
    // Without it (package not installed) they stay English.
    QTranslator qtSpanish;
    const bool spanish = (userInterfaceLanguage() & PrimaryLanguageMask) == SpanishLanguage &&
                         qtSpanish.load(QString::fromLatin1(QtSpanishCatalogue),
                                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (spanish)
        QCoreApplication::installTranslator(&qtSpanish);
    QFileDialog dialog(owner, qtText(title));
    // The widget dialog behaves the same on every desktop: it accepts a typed name of a
    // file that does not exist yet, which the portal and GTK choosers refuse.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowModality(Qt::ApplicationModal);

    const QStringList filters = nameFilters(pattern);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (patternIndex >= 0 && patternIndex < filters.size())
            dialog.selectNameFilter(filters[patternIndex]);
    }
    if (!initialPath.empty()) {
        const size_t cut = initialPath.rfind('/');
        std::string folder, name = initialPath;
        if (cut != std::string::npos) {
            folder = cut == 0 ? std::string("/") : initialPath.substr(0, cut);
            name = initialPath.substr(cut + 1);
        }
        if (!folder.empty())
            dialog.setDirectory(qtText(folder));
        if (!name.empty() && validFileName(name))
            dialog.selectFile(qtText(name));
    }

    std::string chosen;
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty())
            break;
        const QFileInfo info(files.front());
        // A missing file may be named, but only in a folder that exists.
        if (info.absoluteDir().exists() && !info.isDir()) {
            chosen = info.absoluteFilePath().toStdString();
            break;
        }
    }
    if (spanish)
        QCoreApplication::removeTranslator(&qtSpanish);
    std::setlocale(LC_NUMERIC, "C"); // the dialog may have switched number formatting
    return chosen;
}

void openInShell(const std::string& target)
{
    if (!toolkit.valid || target.empty())
        return;
    QDesktopServices::openUrl(QUrl::fromUserInput(qtText(target)));
}

int argumentCount()
{
    return static_cast<int>(toolkit.arguments.size());
}

std::string argument(int index)
{
    if (index < 0 || index >= static_cast<int>(toolkit.arguments.size()))
        return {};
    return toolkit.arguments[static_cast<size_t>(index)];
}

std::string appDataFolder()
{
    std::string folder = envText("XDG_CONFIG_HOME");
    if (folder.empty() || folder.front() != '/') {
        // A relative XDG_CONFIG_HOME is invalid and ignored.
        const std::string home = envText("HOME");
        if (home.empty() || home.front() != '/')
            return {};
        folder = home + (home.back() == '/' ? "" : "/") + ".config";
    }
    if (folder.back() != '/')
        folder += '/';
    return folder;
}
