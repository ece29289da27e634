// The status area under the canvas holds two text lines: the summary on the left and,
// set against the right edge, the machine point under the pointer.
#pragma once

// Sets a text line's text against its right edge, so that a shorter text does not move
// its end; nothing for a control that is no text line.
void alignTextRight(int number);
