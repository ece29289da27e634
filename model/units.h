// Length units shared by the reader (G20 inch files) and the view (the inch display).
#pragma once

constexpr double MillimetresPerInch = 25.4; // exact by definition of the inch
