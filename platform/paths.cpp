// Splits paths into folder and file name, sizes files and creates folders, with no toolkit.
#include "platform/paths.h"

#include <sys/stat.h>

namespace {

// On Linux only "/" separates folders; quotes, backslashes and bars are part of names.
inline bool isSeparator(char c)
{
    return c == '/';
}

} // namespace

std::string folderPart(std::string_view path)
{
    std::size_t folderEnd = 0; // just past the last separator seen
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (isSeparator(path[i]))
            folderEnd = i + 1;
    }
    return std::string(path.substr(0, folderEnd));
}

std::string filePart(std::string_view path)
{
    return std::string(path.substr(folderPart(path).size()));
}

std::int64_t fileSize(const std::string& path)
{
    struct stat status;
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return -1;
    if (S_ISDIR(status.st_mode))
        return -2;
    return static_cast<std::int64_t>(status.st_size);
}

void createFolder(const std::string& path)
{
    std::size_t length = path.size();
    while (length > 0 && (path[length - 1] == ' ' || isSeparator(path[length - 1])))
        --length;
    if (length == 0)
        return;
    // Failure (the folder exists, no parent, no permission) is left to the caller to notice.
    mkdir(path.substr(0, length).c_str(), 0777);
}
