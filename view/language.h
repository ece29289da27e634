// The interface language, chosen once at start, and the text picker every visible text uses.
#pragma once

#include <string>

extern bool uiSpanish; // true: Spanish; false: English

// The Spanish text when the interface speaks Spanish, else the English one.
inline const char* tr(const char* spanish, const char* english)
{
    return uiSpanish ? spanish : english;
}
