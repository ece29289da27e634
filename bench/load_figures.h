// Prints what loading one G-code file costs next to the plain passes that bound it.
#pragma once

#include <cstddef>
#include <string>

// Prints, for the file at `path`: the load time through loadGcodeFile (median of fresh
// processes), the page faults and peak memory of that load against the memory budget, and
// beside them `wc -l`, the same line count by read() and memchr, and a memchr pass over a
// buffer already in memory, all measured in this run, with the ratios. Prints one line
// saying why when the file cannot be read or loaded.
void printLoadFigures(const std::string& path);

// Peak resident memory of this process so far, in bytes (VmHWM); -1 when unknown.
double peakResidentBytes();

// The line feeds in `size` bytes at `data`, counted with memchr as wc -l does.
std::size_t countLineFeeds(const unsigned char* data, std::size_t size);
