// Holds the interface language chosen at start; English until the shell decides.
#include "view/language.h"

bool uiSpanish = false;
