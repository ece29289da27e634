// The settings file on the disk: read only when it is a small regular file, replaced only
// whole, and its folder made when the account has none yet.
#include "app/settings_disk.h"

#include "app/settings_file.h"
#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

// Reads a regular file of at most LargestSettingsFile bytes; a pipe or device at the
// settings path must not make start-up hang.
bool readSmallFile(const std::string& path, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
              static_cast<std::uint64_t>(status.st_size) <= LargestSettingsFile;
    if (ok) {
        bytes.assign(static_cast<std::size_t>(status.st_size), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break; // the file shrank while being read: keep what is there
            done += static_cast<std::size_t>(got);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return ok;
}

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// The file the new text must replace: the path itself, or the file a symbolic link at the
// path points to (replacing the link by a plain file would cut the user's link). Empty
// when the path is a link whose target cannot be resolved.
std::string replacementTarget(const std::string& path)
{
    struct stat status;
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string target(resolved);
    std::free(resolved);
    return target;
}

} // namespace

// Writes `text` to a temporary file beside `target`, flushes it to the disk and renames it
// over `target`, so that a crash, a full disk or a power cut leaves either the old or the
// new file, never a part of one. On failure the old file is untouched.
bool replaceFileAtomically(const std::string& path, std::string_view text)
{
    const std::string target = replacementTarget(path);
    if (target.empty())
        return false;
    struct stat status;
    const bool existed = stat(target.c_str(), &status) == 0;
    if (existed && !S_ISREG(status.st_mode))
        return false; // a folder or device at the path is not ours to replace
    if (existed && access(target.c_str(), W_OK) != 0)
        return false; // a file the user made read-only keeps its settings

    std::string temporary = target + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;
    mode_t mode = status.st_mode & 07777;
    if (!existed) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask; // what a plainly created file would get
    }
    (void)fchmod(fd, mode); // a mode we cannot set is no reason to lose the settings
    bool ok = writeAll(fd, text) && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here no longer risks the file's content.
    const std::string folder = folderPart(target);
    const int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

// Creates the folder and every missing folder above it: on a fresh account even the
// configuration folder may not exist yet, and the settings would then never be saved.
void createFolderWithParents(const std::string& folder)
{
    if (folder.empty() || fileSize(folder) == -2)
        return;
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '/')
        trimmed.pop_back();
    const std::string parent = folderPart(trimmed);
    if (parent.size() < folder.size())
        createFolderWithParents(parent);
    createFolder(folder);
}
