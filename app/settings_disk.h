// The settings file on the disk: read only when it is a small regular file, replaced only
// whole, and its folder made when the account has none yet.
#pragma once

#include <string>
#include <string_view>

// Reads a regular file of at most LargestSettingsFile bytes; a pipe or device at the
// settings path must not make start-up hang.
bool readSmallFile(const std::string& path, std::string& bytes);

// Writes `text` to a temporary file beside `path` (or the file a symbolic link there points
// at), flushes it to the disk and renames it over, so that a crash, a full disk or a power
// cut leaves either the old or the new file, never a part of one. On failure the old file
// is untouched.
bool replaceFileAtomically(const std::string& path, std::string_view text);

// Creates the folder and every missing folder above it: on a fresh account even the
// configuration folder may not exist yet, and the settings would then never be saved.
void createFolderWithParents(const std::string& folder);
