// Desktop services the shell needs: monitors, interface language, the open-file dialog,
// the browser, the command line and the per-user configuration folder.
#pragma once

#include "platform/language_ids.h"

#include <string>

// Rebuilds the list of desktops (primary first, device pixels) and returns its length (>= 1).
int desktopCount();
int desktopX(int index); // 0 for an index out of range
int desktopY(int index);
int desktopWidth(int index);
int desktopHeight(int index);

// The user's interface language as a 16-bit Windows language identifier (0x0409 en_US,
// 0x080A es_MX ...), from LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
int userInterfaceLanguage();

// Runs the open-file dialog; `pattern` is "label|filter|label|filter|..." with ";"-separated
// masks. Returns the chosen full path, or "" when cancelled.
std::string openFileDialog(const std::string& title, const std::string& initialPath,
                           const std::string& pattern, int patternIndex);

// Opens a web address or file with the desktop's default handler; outcome not reported.
void openInShell(const std::string& target);

// Command-line arguments after the program name, exactly as the system hands them.
int argumentCount();
std::string argument(int index); // "" out of range

// The XDG configuration folder (XDG_CONFIG_HOME, else ~/.config) with a trailing "/";
// empty when it cannot be named.
std::string appDataFolder();
