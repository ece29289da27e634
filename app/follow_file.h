// Keeps the shown file in step with the disk: a change that has settled, or F5, loads it
// again, and a load that fails keeps the last good drawing.
#pragma once

#include <string>

#include "app/timers.h"
#include "platform/file_watch.h"

extern std::string followedPath; // the file shown and watched; "" when none

constexpr int FollowSettleMs = 500; // milliseconds the file must stay unchanged

// Follows `path` from now on, in place of any file followed before; "" follows none.
// `loaded` is the file's stamp from before it was read: if the file has changed since, it
// is loaded again once it settles, as after any other change.
void followFile(const std::string& path, const FileStamp& loaded);

// A change of the followed file: the settle wait starts again.
void onFollowedFileChanged();

// The settle wait is over: the file is loaded again.
void onFollowTimer();

// Loads the followed file again at once (F5); nothing when none is followed.
void reloadFollowedFile();
