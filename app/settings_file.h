// Keeps the display options and the window geometry from one run to the next in a small
// grouped key = value text file in the user's configuration folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One line of a settings file as read: a group header, a comment or a key.
enum class SettingsEntryKind { Group, Comment, Key };

struct SettingsEntry {
    SettingsEntryKind kind = SettingsEntryKind::Key;
    std::string name;  // group name, comment text or key
    std::string value; // value text of a key; empty otherwise
};

// The in-memory form of one settings file while it is open.
struct SettingsStore {
    std::vector<SettingsEntry> entries;
    int currentGroup = -1;     // index of the selected group header; -1 = before any header
    bool groupPending = false; // the selected group does not exist: reads give defaults
    bool forWriting = false;   // close writes the entries to `path`
    bool open = false;
    std::string path;
};

constexpr std::size_t LargestSettingsFile = 1024 * 1024; // bytes; larger files are ignored

// Reads the whole file into the store. false (store not open) when it cannot be read,
// is not a regular file or is larger than LargestSettingsFile.
bool openSettingsForReading(SettingsStore& store, const std::string& path);

// Reads settings text already in memory exactly as a file would be read (for tests and tools).
void parseSettingsText(SettingsStore& store, std::string_view bytes);

// Starts an empty store that close writes to `path` as a whole new file.
bool createSettingsForWriting(SettingsStore& store, const std::string& path);

// Makes the first group of this name (ASCII case ignored) current; a writing store adds it.
void selectSettingsGroup(SettingsStore& store, std::string_view group);

// The first value of `key` in the current group, scanned like "%d" (no digits: 0, beyond
// 32 bits: saturated); `fallback` when the key or the group is absent.
int readSettingsInteger(const SettingsStore& store, std::string_view key, int fallback);

// Sets `key` in the current group, adding it at the group's end when new.
void writeSettingsInteger(SettingsStore& store, std::string_view key, int value);

// The file text a writing store produces: byte order mark, CR LF lines.
std::string composeSettingsText(const SettingsStore& store);

// Closes the store. A writing store replaces its file atomically; false when it could not
// (the old file is then left exactly as it was).
bool closeSettings(SettingsStore& store);

// The configuration folder + "TolvanGcode/TolvanGcode.prefs"; that relative path alone
// when the folder cannot be named.
std::string settingsPath();

// Overwrites the Settings fields found in the file at `path`; silent when it is unreadable.
void loadSettingsFrom(const std::string& path);
// Writes the thirteen-line file (fourteen lines while arcs are on); false when nothing
// could be saved.
bool saveSettingsTo(const std::string& path, bool windowMaximized);

// The same at settingsPath(), with the main window's current state.
void loadSettings();
void saveSettings();
