// A place in the job as a user writes it on the command line, and the replay's cursor there.
#pragma once

#include "model/job_pace.h"

#include <string>
#include <string_view>

// A place in the job as a user writes it: the end of a move number ("1234", 0 for the
// start), a share of the estimated time ("50%", "12.5%"; of the timeline when the job has
// no estimate) or an estimated time ("0:12:34", "12:34", "0:00:07.5").
struct ReplayPlace {
    enum Kind { MoveNumber, Share, Time } kind = MoveNumber;
    double value = 0.0; // the move number, the percentage or the seconds
};

// Reads a place; false when the text is none of the three forms (or a field is out of its
// range: above 100%, 60 minutes or seconds after a larger field).
bool readReplayPlace(std::string_view text, ReplayPlace& place);

// The cursor at a place in the loaded job. Empty on success, else a short phrase saying
// why the job has no such place (a move number beyond its moves, a time beyond its end).
std::string cursorAtPlace(const ReplayPlace& place, ReplayCursor& cursor);
