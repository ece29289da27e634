// Turns a POSIX locale name ("es_MX.UTF-8") into the 16-bit Windows language identifier
// that the shell chooses its interface language from.
#pragma once

#include <string>

// The identifier for one locale name such as "es_MX.UTF-8" or "ca"; 0x0409 when unknown.
int languageIdForLocale(const std::string& localeName);
