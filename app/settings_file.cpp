// Keeps the display options and the window geometry from one run to the next in a small
// grouped key = value text file in the user's configuration folder.
#include "app/settings_file.h"

#include "app/main_window.h"
#include "app/settings_disk.h"
#include "platform/desktop.h"
#include "platform/numtext.h"
#include "platform/paths.h"
#include "platform/toolkit.h"
#include "view/settings.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view SettingsFolderName = "TolvanGcode/";
constexpr std::string_view SettingsFileName = "TolvanGcode.prefs";
constexpr std::string_view OptionsGroup = "Opciones";
constexpr std::string_view WindowGroup = "Ventana";

// One option of the "Opciones" group, in the order the file lists them.
struct OptionKey {
    std::string_view key;
    std::int32_t Settings::*field;
};

constexpr OptionKey OptionKeys[] = {
    {"Grises", &Settings::greyByPower}, {"Vacios", &Settings::showTravel},
    {"Mesa", &Settings::showBed},       {"Invertir", &Settings::invertColours},
    {"Pulgadas", &Settings::inches},
};

// Written after the others and only while it is on, so that the file of a user who never
// turns arcs on stays as it always was.
constexpr OptionKey ArcsKey = {"Arcos", &Settings::arcs};

inline char foldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
inline bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}
inline bool isCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Whether the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        std::uint32_t smallest = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// A file without a byte order mark that is not UTF-8 comes from an 8-bit editor: every
// byte is taken as the Latin-1 character of that number.
std::string latin1ToUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// "%d" in the C manner, except that values beyond the 32-bit range saturate instead of
// wrapping (a hand-typed 9999999999 must not become a negative window width).
int scanInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t Limit = std::int64_t{INT_MAX} + 1; // magnitude of INT_MIN
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > Limit)
            magnitude = Limit; // stays bounded however many digits follow
    }
    if (negative)
        return static_cast<int>(-magnitude); // -2147483648 at the most
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

// Index range [first, last) of the keys that belong to the current group.
void currentGroupRange(const SettingsStore& store, std::size_t& first, std::size_t& last)
{
    first = store.currentGroup < 0 ? 0 : static_cast<std::size_t>(store.currentGroup) + 1;
    last = first;
    while (last < store.entries.size() && store.entries[last].kind != SettingsEntryKind::Group)
        ++last;
}

void parseLine(SettingsStore& store, std::string_view line)
{
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    line.remove_prefix(start);
    if (line.empty())
        return;
    SettingsEntry entry;
    if (line[0] == ';') {
        line.remove_prefix(1);
        if (!line.empty() && line[0] == ' ')
            line.remove_prefix(1);
        entry.kind = SettingsEntryKind::Comment;
        entry.name = line;
    } else if (line[0] == '[') {
        line.remove_prefix(1);
        entry.kind = SettingsEntryKind::Group;
        entry.name = line.substr(0, line.find(']'));
    } else {
        // A line without "=" is a key with an empty value, which reads as 0.
        const std::size_t equals = line.find('=');
        std::string_view key = line.substr(0, equals);
        while (!key.empty() && isBlank(key.back()))
            key.remove_suffix(1);
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = line.substr(equals + 1);
            while (!value.empty() && isBlank(value.front()))
                value.remove_prefix(1);
        }
        entry.kind = SettingsEntryKind::Key;
        entry.name = key;
        entry.value = value;
    }
    store.entries.push_back(std::move(entry));
}

} // namespace

void parseSettingsText(SettingsStore& store, std::string_view bytes)
{
    std::string converted;
    if (bytes.size() > 2 && bytes.substr(0, 3) == ByteOrderMark) {
        bytes.remove_prefix(3);
    } else if (!isValidUtf8(bytes)) {
        converted = latin1ToUtf8(bytes);
        bytes = converted;
    }
    store.entries.clear();
    std::size_t i = 0;
    while (i < bytes.size()) {
        while (i < bytes.size() && isLineEnd(bytes[i]))
            ++i;
        std::size_t end = i;
        while (end < bytes.size() && !isLineEnd(bytes[end]))
            ++end;
        if (end > i)
            parseLine(store, bytes.substr(i, end - i));
        i = end;
    }
}

bool openSettingsForReading(SettingsStore& store, const std::string& path)
{
    store = SettingsStore{};
    std::string bytes;
    if (!readSmallFile(path, bytes))
        return false;
    parseSettingsText(store, bytes);
    store.path = path;
    store.open = true;
    return true;
}

bool createSettingsForWriting(SettingsStore& store, const std::string& path)
{
    store = SettingsStore{};
    store.path = path;
    store.forWriting = true;
    store.open = true;
    return true;
}

void selectSettingsGroup(SettingsStore& store, std::string_view group)
{
    for (std::size_t i = 0; i < store.entries.size(); ++i) {
        const SettingsEntry& entry = store.entries[i];
        if (entry.kind == SettingsEntryKind::Group && sameName(entry.name, group)) {
            store.currentGroup = static_cast<int>(i);
            store.groupPending = false;
            return;
        }
    }
    if (store.forWriting) {
        store.entries.push_back({SettingsEntryKind::Group, std::string(group), std::string()});
        store.currentGroup = static_cast<int>(store.entries.size() - 1);
        store.groupPending = false;
        return;
    }
    store.groupPending = true;
}

int readSettingsInteger(const SettingsStore& store, std::string_view key, int fallback)
{
    if (!store.open || store.groupPending)
        return fallback;
    std::size_t first = 0, last = 0;
    currentGroupRange(store, first, last);
    for (std::size_t i = first; i < last; ++i) {
        const SettingsEntry& entry = store.entries[i];
        if (entry.kind == SettingsEntryKind::Key && sameName(entry.name, key))
            return scanInteger(entry.value);
    }
    return fallback;
}

void writeSettingsInteger(SettingsStore& store, std::string_view key, int value)
{
    if (!store.open || store.groupPending)
        return;
    std::size_t first = 0, last = 0;
    currentGroupRange(store, first, last);
    for (std::size_t i = first; i < last; ++i) {
        SettingsEntry& entry = store.entries[i];
        if (entry.kind == SettingsEntryKind::Key && sameName(entry.name, key)) {
            entry.value = formatInteger(value);
            return;
        }
    }
    store.entries.insert(store.entries.begin() + static_cast<std::ptrdiff_t>(last),
                         {SettingsEntryKind::Key, std::string(key), formatInteger(value)});
}

std::string composeSettingsText(const SettingsStore& store)
{
    std::string text(ByteOrderMark);
    text += LineEnd;
    for (const SettingsEntry& entry : store.entries) {
        switch (entry.kind) {
        case SettingsEntryKind::Group: text += "[" + entry.name + "]"; break;
        case SettingsEntryKind::Comment: text += "; " + entry.name; break;
        case SettingsEntryKind::Key: text += entry.name + " = " + entry.value; break;
        }
        text += LineEnd;
    }
    return text;
}

bool closeSettings(SettingsStore& store)
{
    bool ok = true;
    if (store.open && store.forWriting)
        ok = replaceFileAtomically(store.path, composeSettingsText(store));
    store = SettingsStore{};
    return ok;
}

std::string settingsPath()
{
    return appDataFolder() + std::string(SettingsFolderName) + std::string(SettingsFileName);
}

void loadSettingsFrom(const std::string& path)
{
    SettingsStore store;
    if (!openSettingsForReading(store, path))
        return;
    selectSettingsGroup(store, OptionsGroup);
    for (const OptionKey& option : OptionKeys)
        settings.*option.field = readSettingsInteger(store, option.key, settings.*option.field);
    settings.*ArcsKey.field = readSettingsInteger(store, ArcsKey.key, settings.*ArcsKey.field);
    selectSettingsGroup(store, WindowGroup);
    settings.windowX = readSettingsInteger(store, "X", UnsetPosition);
    settings.windowY = readSettingsInteger(store, "Y", UnsetPosition);
    settings.windowWidth = readSettingsInteger(store, "Ancho", 0);
    settings.windowHeight = readSettingsInteger(store, "Alto", 0);
    settings.maximized = readSettingsInteger(store, "Maximizada", 0);
    closeSettings(store);
}

bool saveSettingsTo(const std::string& path, bool windowMaximized)
{
    createFolderWithParents(folderPart(path));
    SettingsStore store;
    if (!createSettingsForWriting(store, path))
        return false;
    selectSettingsGroup(store, OptionsGroup);
    for (const OptionKey& option : OptionKeys)
        writeSettingsInteger(store, option.key, settings.*option.field);
    if (settings.*ArcsKey.field != 0)
        writeSettingsInteger(store, ArcsKey.key, settings.*ArcsKey.field);
    selectSettingsGroup(store, WindowGroup);
    writeSettingsInteger(store, "X", settings.windowX);
    writeSettingsInteger(store, "Y", settings.windowY);
    writeSettingsInteger(store, "Ancho", settings.windowWidth);
    writeSettingsInteger(store, "Alto", settings.windowHeight);
    writeSettingsInteger(store, "Maximizada", windowMaximized ? 1 : 0);
    return closeSettings(store);
}

void loadSettings()
{
    loadSettingsFrom(settingsPath());
}

void saveSettings()
{
    saveSettingsTo(settingsPath(), windowState(mainWindow) == Maximized);
}
