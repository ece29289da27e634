// Path and file helpers that need no toolkit: name parts, sizes, folder creation.
// Only "/" separates folders; every other byte belongs to a name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Everything up to and including the last "/"; empty when there is none.
std::string folderPart(std::string_view path);

// Everything after the last "/"; extension kept.
std::string filePart(std::string_view path);

// Size in bytes of an existing file; -1 if nothing is there (or it cannot be examined);
// -2 if it is a folder.
std::int64_t fileSize(const std::string& path);

// Creates one folder level after trimming trailing blanks and separators; silent on failure.
void createFolder(const std::string& path);
