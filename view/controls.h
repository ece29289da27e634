// Numbers of the main window's controls, shared by the shell that creates them and the
// view that draws into them.
#pragma once

enum ControlNumber : int {
    DonateButton = 0,
    OpenButton = 1,
    ZoomOutButton = 2,
    ZoomInButton = 3,
    FitButton = 4,
    GreyCheck = 5,
    TravelCheck = 6,
    BedCheck = 7,
    InvertCheck = 8,
    InchesCheck = 9,
    Canvas = 10,
    StatusText = 11,
};
