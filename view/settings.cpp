// Holds the user's display options and window geometry, starting from their defaults.
#include "view/settings.h"

Settings settings;
