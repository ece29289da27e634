// Path and file helpers that need no toolkit: name parts, sizes, folder creation.
// Both "/" and "\" count as separators.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Everything up to and including the last separator; a leading double quote is skipped
// and "|" ends the scan. Empty when there is no separator.
std::string folderPart(std::string_view path);

// Everything after the last separator, up to a following double quote; extension kept.
std::string filePart(std::string_view path);

// Size in bytes of an existing file; -1 if nothing is there (or it cannot be examined);
// -2 if it is a folder.
std::int64_t fileSize(const std::string& path);

// Creates one folder level after trimming trailing blanks and separators; silent on failure.
void createFolder(const std::string& path);
