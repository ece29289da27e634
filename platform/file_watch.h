// Follows the one file the window shows: a change to it, or a change of its folder that
// touches it (a new file renamed over it, its removal), queues a FileChangedEvent.
#pragma once

#include <cstdint>
#include <string>

// What tells one version of a file from another: whether it is there, its size, its
// modification time and its inode (a file renamed over it has another).
struct FileStamp {
    bool exists = false;
    std::int64_t size = 0;       // bytes
    std::int64_t modifiedNs = 0; // nanoseconds since the epoch
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of whatever is at `path` now; exists is false when nothing is there.
FileStamp fileStamp(const std::string& path);

// Watches `path` and its folder in place of any file watched before; "" stops watching.
// Calling it again with the same path takes up a file that replaced the old one.
void watchFile(const std::string& path);
