// Slow, exact non-negative integers for the fuzzers' reference conversions: only
// multiplication by small factors, comparison and decimal digits, nothing clever.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Little-endian limbs in base 10^9, no zero limb at the top; no limbs at all is zero.
struct BigDecimal {
    std::vector<std::uint32_t> limbs;
};

constexpr std::uint32_t LimbBase = 1000000000; // 10^9 per limb

inline BigDecimal bigFromInteger(std::uint64_t value)
{
    BigDecimal number;
    while (value != 0) {
        number.limbs.push_back(static_cast<std::uint32_t>(value % LimbBase));
        value /= LimbBase;
    }
    return number;
}

// number = number * factor; any factor below 2^32 keeps every step inside 64 bits.
inline void bigMultiply(BigDecimal& number, std::uint32_t factor)
{
    if (factor == 0) {
        number.limbs.clear();
        return;
    }
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : number.limbs) {
        const std::uint64_t product = std::uint64_t{limb} * factor + carry;
        limb = static_cast<std::uint32_t>(product % LimbBase);
        carry = product / LimbBase;
    }
    while (carry != 0) {
        number.limbs.push_back(static_cast<std::uint32_t>(carry % LimbBase));
        carry /= LimbBase;
    }
}

// number = number * base^count, in steps whose factor stays below 2^32.
inline void bigMultiplyPower(BigDecimal& number, std::uint32_t base, int count)
{
    std::uint32_t chunk = 1;
    for (int i = 0; i < count; ++i) {
        if (std::uint64_t{chunk} * base >= (std::uint64_t{1} << 32)) {
            bigMultiply(number, chunk);
            chunk = 1;
        }
        chunk *= base;
    }
    bigMultiply(number, chunk);
}

// number = number * 10 + digit, for building a value from its decimal digits.
inline void bigAppendDigit(BigDecimal& number, unsigned digit)
{
    bigMultiply(number, 10);
    if (digit == 0)
        return;
    if (number.limbs.empty())
        number.limbs.push_back(0);
    std::uint64_t carry = digit;
    for (std::size_t i = 0; i < number.limbs.size() && carry != 0; ++i) {
        const std::uint64_t sum = number.limbs[i] + carry;
        number.limbs[i] = static_cast<std::uint32_t>(sum % LimbBase);
        carry = sum / LimbBase;
    }
    if (carry != 0)
        number.limbs.push_back(static_cast<std::uint32_t>(carry));
}

inline BigDecimal bigFromDigits(std::string_view digits)
{
    BigDecimal number;
    for (char c : digits)
        bigAppendDigit(number, static_cast<unsigned>(c - '0'));
    return number;
}

// -1, 0 or 1 as a is below, equal to or above b.
inline int bigCompare(const BigDecimal& a, const BigDecimal& b)
{
    if (a.limbs.size() != b.limbs.size())
        return a.limbs.size() < b.limbs.size() ? -1 : 1;
    for (std::size_t i = a.limbs.size(); i-- > 0;) {
        if (a.limbs[i] != b.limbs[i])
            return a.limbs[i] < b.limbs[i] ? -1 : 1;
    }
    return 0;
}

// Decimal digits, most significant first; "0" for zero.
inline std::string bigDigits(const BigDecimal& number)
{
    if (number.limbs.empty())
        return "0";
    std::string digits = std::to_string(number.limbs.back());
    for (std::size_t i = number.limbs.size() - 1; i-- > 0;) {
        const std::string limb = std::to_string(number.limbs[i]);
        digits += std::string(9 - limb.size(), '0') + limb;
    }
    return digits;
}
