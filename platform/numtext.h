// Exact, locale-free conversions between numbers and the texts the user sees.
// Texts are UTF-8; every length and position counts characters (code points), not bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits, "-" for negatives, a single "0" for zero; the whole 64-bit range.
std::string formatInteger(std::int64_t value);

// Fixed point with exactly `decimals` digits (0..512), rounding the exact binary value
// to nearest, ties to even; "-" for any negative non-zero value; never an exponent.
// Infinities give "+Infinity" / "-Infinity", NaN gives "NaN".
std::string formatFixed(double value, int decimals);

// `text` cut or padded on the left with the first character of `fill` to `width` characters.
std::string padLeft(std::string_view text, int width, std::string_view fill);

// `text` without the run of the first character of `trimmed` (a blank if empty) at its end.
std::string trimTrailing(std::string_view text, std::string_view trimmed);

// 1-based character position of the first `pattern` in `text`; 0 when absent or either is empty.
int findText(std::string_view text, std::string_view pattern);

// Non-overlapping occurrences of `pattern` in `text`; 0 when either is empty.
int countOccurrences(std::string_view text, std::string_view pattern);

// The index-th (1-based) piece of `text` split at `separator`; empty when out of range.
std::string fieldAt(std::string_view text, int index, std::string_view separator);

// strtod in the C locale whatever the process locale; "+Infinity", "-Infinity", "NaN"
// (any case) are accepted; a text with no number gives 0.
double parseNumber(std::string_view text);

double roundDown(double x);    // floor
double roundUp(double x);      // ceil
double roundNearest(double x); // halves away from zero

// Whole part toward zero as a 32-bit integer. Out-of-range values saturate and NaN gives 0,
// so no caller can reach undefined behaviour through it.
std::int32_t truncate(double x);
