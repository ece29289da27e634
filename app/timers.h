// The main window's timers: every one of them is numbered here, so that no two share a
// number and a TimerEvent always reaches the one it belongs to.
#pragma once

constexpr int ResizeTimer = 1;  // the resize debounce
constexpr int FollowTimer = 2;  // the followed file's settle wait
constexpr int ArcNoteTimer = 4; // the life of the note on straight arcs
constexpr int ReplayTimer = 5;  // the replay's playing clock
