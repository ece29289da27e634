// Opens a G-code file from the dialog, a drop or the command line and brings the window
// up to date: title, view, canvas message and status line.
#pragma once

#include <string>

extern std::string lastFilePath; // last file read successfully; "" before the first

// The open-file dialog's filters: G-code files first, then every file, then CNC programs.
std::string openDialogPattern();

// Loads the file and shows the result; an empty path does nothing.
void openFile(const std::string& path);

// Shows what a load has put in the toolpath: the message for a file without moves, or the
// job fitted to the canvas. With `keepView` a view the user has zoomed or moved stays.
void showLoadedFile(bool keepView);

// Runs the open-file dialog in the folder of the last good file; a cancel changes nothing.
void openFileFromDialog();
