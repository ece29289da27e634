// Checks the desktop services: the language table and its environment order, the
// configuration folder, the arguments and the open-file dialog's set-up.
#include "toolkit_env.h"

#include "platform/desktop.h"
#include "platform/toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QLineEdit>
#include <QTimer>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(Language, Table)
{
    struct Row {
        const char* locale;
        int id;
    };
    const std::vector<Row> rows = {
        {"es_MX", 0x080A},       {"es_MX.UTF-8", 0x080A}, {"es_ES.UTF-8@euro", 0x0C0A},
        {"es", 0x0C0A},          {"es_AR", 0x2C0A},       {"es_CO", 0x240A},
        {"es_CL", 0x340A},       {"es_US", 0x540A},       {"es-419", 0x580A},
        {"ca_ES.UTF-8", 0x0403}, {"ca", 0x0403},          {"en_US.UTF-8", 0x0409},
        {"en_GB", 0x0809},       {"de_DE", 0x0407},       {"de_AT", 0x0C07},
        {"fr_FR", 0x040C},       {"fr_CA", 0x0C0C},       {"it_IT", 0x0410},
        {"pt_BR", 0x0416},       {"pt_PT", 0x0816},       {"nl_NL", 0x0413},
        {"pl_PL", 0x0415},       {"ru_RU", 0x0419},       {"ja_JP", 0x0411},
        {"zh_CN", 0x0804},       {"zh_TW", 0x0404},       {"C", 0x0409},
        {"POSIX", 0x0409},       {"C.UTF-8", 0x0409},     {"", 0x0409},
        {"xx_YY", 0x0409},       {"ES_mx", 0x080A},
    };
    for (const Row& row : rows)
        EXPECT_EQ(languageIdForLocale(row.locale), row.id) << row.locale;
    // A region without an entry keeps the language: sublanguage 1.
    EXPECT_EQ(languageIdForLocale("es_ZZ"), 0x040A);
    EXPECT_EQ(languageIdForLocale("es_ZZ") & 0x3FF, 0x0A);
    EXPECT_EQ(languageIdForLocale("de_ZZ"), 0x0407);
}

// Sets or clears environment variables for one scope and restores them afterwards.
class EnvScope {
public:
    void set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvScope()
    {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST(Language, EnvironmentOrder)
{
    struct Row {
        const char* name;
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        int id;
    };
    const std::vector<Row> rows = {
        {"LANGUAGE first entry wins", "es_MX:en_US", "en_GB.UTF-8", nullptr, "de_DE", 0x080A},
        {"LC_ALL next", "", "ca_ES.UTF-8", "en_US", "de_DE", 0x0403},
        {"LC_MESSAGES next", nullptr, "", "es_AR.UTF-8", "de_DE", 0x2C0A},
        {"LANG last", nullptr, nullptr, nullptr, "fr_FR.UTF-8", 0x040C},
        {"nothing set", nullptr, nullptr, nullptr, nullptr, 0x0409},
        {"C locale", nullptr, "C", nullptr, "es_ES", 0x0409},
    };
    for (const Row& row : rows) {
        EnvScope env;
        env.set("LANGUAGE", row.language);
        env.set("LC_ALL", row.lcAll);
        env.set("LC_MESSAGES", row.lcMessages);
        env.set("LANG", row.lang);
        EXPECT_EQ(userInterfaceLanguage(), row.id) << row.name;
    }
}

TEST(Desktop, ConfigurationFolder)
{
    struct Row {
        const char* name;
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"XDG_CONFIG_HOME", "/srv/cfg", "/home/ana", "/srv/cfg/"},
        {"XDG_CONFIG_HOME with slash", "/srv/cfg/", "/home/ana", "/srv/cfg/"},
        {"relative XDG_CONFIG_HOME is ignored", "cfg", "/home/ana", "/home/ana/.config/"},
        {"HOME only", nullptr, "/home/ana", "/home/ana/.config/"},
        {"HOME with slash", "", "/home/ana/", "/home/ana/.config/"},
        {"nothing to name it", nullptr, nullptr, ""},
        {"relative HOME", nullptr, "ana", ""},
    };
    for (const Row& row : rows) {
        EnvScope env;
        env.set("XDG_CONFIG_HOME", row.xdg);
        env.set("HOME", row.home);
        EXPECT_EQ(appDataFolder(), row.expected) << row.name;
    }
}

TEST(Desktop, ArgumentsAreKeptExactlyAsGiven)
{
    shutdownToolkit();
    static char program[] = "tolvan-gcode";
    static char first[] = "/tmp/My jobs/\"quoted\" part.gc";
    static char second[] = "extra";
    static char* argv[] = {program, first, second, nullptr};
    static int argc = 3;
    ASSERT_TRUE(initToolkit(argc, argv));
    EXPECT_EQ(argumentCount(), 2);
    EXPECT_EQ(argument(0), "/tmp/My jobs/\"quoted\" part.gc");
    EXPECT_EQ(argument(1), "extra");
    EXPECT_EQ(argument(2), "");
    EXPECT_EQ(argument(-1), "");
    // Qt's locale set-up must leave numbers with a point.
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    shutdownToolkit();
    static char plain[] = "platform_test";
    static char* plainArgv[] = {plain, nullptr};
    static int plainArgc = 1;
    ASSERT_TRUE(initToolkit(plainArgc, plainArgv));
    EXPECT_EQ(argumentCount(), 0);
    shutdownToolkit();
    // Qt's own options are file names like any other and change nothing in Qt.
    static char platform[] = "-platform";
    static char nosuch[] = "nosuch";
    static char reverse[] = "-reverse";
    static char* qtArgv[] = {program, platform, nosuch, reverse, nullptr};
    static int qtArgc = 4;
    ASSERT_TRUE(initToolkit(qtArgc, qtArgv));
    EXPECT_EQ(qtArgc, 4);
    EXPECT_EQ(argumentCount(), 3);
    EXPECT_EQ(argument(0), "-platform");
    EXPECT_EQ(argument(2), "-reverse");
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(QCoreApplication::arguments(), QStringList{"tolvan-gcode"});
}

// Runs the dialog, letting `act` look at it and close it once it is shown.
std::string runDialog(const std::string& initialPath, int index,
                      const std::function<void(QFileDialog*)>& act)
{
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            ADD_FAILURE() << "no modal file dialog";
            return;
        }
        act(dialog);
    });
    return openFileDialog("Open", initialPath, "All (*.*)|*.*|G-code (*.gc, *.gcode)|*.gc;*.gcode",
                          index);
}

TEST(Desktop, OpenFileDialogSetUpAndResult)
{
    mainWindowForTest();
    const QString folder = QDir::tempPath() + "/tolvan_dialog_test";
    QDir().mkpath(folder);
    const std::string base = folder.toStdString();

    QStringList filters;
    QString selectedFilter, directory, typedName;
    std::string chosen = runDialog(base + "/part.gcode", 1, [&](QFileDialog* d) {
        filters = d->nameFilters();
        selectedFilter = d->selectedNameFilter();
        directory = d->directory().absolutePath();
        typedName = d->findChild<QLineEdit*>("fileNameEdit")->text();
        d->selectFile("missing.gc"); // a file that does not exist may be named
        QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
    });
    EXPECT_EQ(filters, QStringList({"All (*)", "G-code (*.gc *.gcode)"}));
    {
        // "*.*" means every file, also one without a dot in its name.
        QFile job(folder + "/job");
        ASSERT_TRUE(job.open(QIODevice::WriteOnly));
        const QString masks = filters.value(0).section('(', 1).chopped(1); // "label (masks)"
        EXPECT_EQ(QDir(folder).entryList(masks.split(' '), QDir::Files), QStringList{"job"});
    }
    EXPECT_EQ(selectedFilter, "G-code (*.gc *.gcode)");
    EXPECT_EQ(directory, folder);
    EXPECT_EQ(typedName, "part.gcode");
    EXPECT_EQ(chosen, base + "/missing.gc");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");

    chosen = runDialog(base + "/", 0, [&](QFileDialog* d) {
        directory = d->directory().absolutePath();
        typedName = d->findChild<QLineEdit*>("fileNameEdit")->text();
        selectedFilter = d->selectedNameFilter();
        d->reject();
    });
    EXPECT_EQ(directory, folder) << "a folder with a trailing separator";
    EXPECT_EQ(typedName, "");
    EXPECT_EQ(selectedFilter, "All (*)");
    EXPECT_EQ(chosen, "") << "cancel gives the empty text";

    chosen = runDialog(base + "/bad:name?.gc", 0, [&](QFileDialog* d) {
        typedName = d->findChild<QLineEdit*>("fileNameEdit")->text();
        d->reject();
    });
    EXPECT_EQ(typedName, "") << "a name with invalid characters is dropped";

    chosen = runDialog(base + "/my\"a\\b|c.gc", 0, [&](QFileDialog* d) {
        typedName = d->findChild<QLineEdit*>("fileNameEdit")->text();
        d->reject();
    });
    EXPECT_EQ(typedName, "my\"a\\b|c.gc") << "quotes, backslashes and bars belong to Linux names";
    QDir(folder).removeRecursively();
}

TEST(Desktop, OpenFileDialogSpeaksTheInterfaceLanguage)
{
    mainWindowForTest();
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_es.qm"))
        GTEST_SKIP() << "qtbase_es.qm is missing (Debian package qt6-translations-l10n)";
    struct Row {
        const char* language;
        const char* texts; // look in | file name | files of type | open | cancel
    };
    const Row rows[] = {
        {"es_MX.UTF-8", "Ver en: | &Nombre de fichero: | Ficheros de tipo: | &Abrir | Cancelar"},
        {"en_GB.UTF-8", "Look in: | File &name: | Files of type: | Open | Cancel"},
        {"es_ES.UTF-8", "Ver en: | &Nombre de fichero: | Ficheros de tipo: | &Abrir | Cancelar"},
    };
    const char* saved = std::getenv("LANGUAGE");
    const std::string before = saved != nullptr ? saved : "";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.language);
        setenv("LANGUAGE", row.language, 1);
        QStringList texts;
        runDialog("", 0, [&](QFileDialog* d) {
            for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
                texts << d->findChild<QLabel*>(label)->text();
            auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
            texts << box->button(QDialogButtonBox::Open)->text()
                  << box->button(QDialogButtonBox::Cancel)->text();
            d->reject();
        });
        EXPECT_EQ(texts.join(" | ").toStdString(), row.texts);
    }
    if (saved != nullptr)
        setenv("LANGUAGE", before.c_str(), 1);
    else
        unsetenv("LANGUAGE");
}

} // namespace
