// Splits paths into folder and file name, sizes files and creates folders, with no toolkit.
#include "platform/paths.h"

#include <sys/stat.h>

namespace {

inline bool isSeparator(char c) { return c == '/' || c == '\\'; }

// A path pasted with its quotes still names the same file.
inline std::size_t afterLeadingQuote(std::string_view path) {
    return !path.empty() && path[0] == '"' ? 1 : 0;
}

} // namespace

std::string folderPart(std::string_view path) {
    const std::size_t start = afterLeadingQuote(path);
    std::size_t folderEnd = start; // just past the last separator seen
    for (std::size_t i = start; i < path.size() && path[i] != '|'; ++i) {
        if (isSeparator(path[i]))
            folderEnd = i + 1;
    }
    return std::string(path.substr(start, folderEnd - start));
}

std::string filePart(std::string_view path) {
    std::size_t start = afterLeadingQuote(path);
    for (std::size_t i = start; i < path.size(); ++i) {
        if (isSeparator(path[i]))
            start = i + 1;
    }
    std::string_view name = path.substr(start);
    const std::size_t quote = name.find('"');
    if (quote != std::string_view::npos)
        name = name.substr(0, quote);
    return std::string(name);
}

std::int64_t fileSize(const std::string& path) {
    struct stat status;
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return -1;
    if (S_ISDIR(status.st_mode))
        return -2;
    return static_cast<std::int64_t>(status.st_size);
}

void createFolder(const std::string& path) {
    std::size_t length = path.size();
    while (length > 0 && (path[length - 1] == ' ' || isSeparator(path[length - 1])))
        --length;
    if (length == 0)
        return;
    // Failure (the folder exists, no parent, no permission) is left to the caller to notice.
    mkdir(path.substr(0, length).c_str(), 0777);
}
