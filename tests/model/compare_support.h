// Compares the store after a load with what the reference reading says it should hold.
#pragma once

#include <string>

#include "reference_interpreter.h"

// An empty text when they agree, else a description of the first difference. `loose`
// allows a millionth between lengths, for arcs whose points the two compute differently.
std::string differenceFromReference(const ReferenceResult& expected, bool loose = false);
