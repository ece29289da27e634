// Compares the store after a load with what the reference reading says it should hold.
#pragma once

#include <string>

#include "reference_interpreter.h"

// An empty text when they agree, else a description of the first difference.
std::string differenceFromReference(const ReferenceResult& expected);
