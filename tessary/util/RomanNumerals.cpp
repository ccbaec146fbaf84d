#include "tessary/util/RomanNumerals.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "tessary/util/detail/RomanNumeralCache.h"

namespace RomanNumerals {

namespace {

struct Symbol {
    const char* text;
    std::size_t length;
    int value;
};

constexpr Symbol kSymbols[] = {
    {"M", 1, 1000}, {"CM", 2, 900}, {"D", 1, 500}, {"CD", 2, 400}, {"C", 1, 100}, {"XC", 2, 90}, {"L", 1, 50},
    {"XL", 2, 40},  {"X", 1, 10},   {"IX", 2, 9},  {"V", 1, 5},    {"IV", 2, 4},  {"I", 1, 1},
};

bool Parse(std::string_view text, int& value) {
    value = 0;
    if (text.empty() || text == "0") return true;
    bool negative = false;
    if (text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    // The magnitude may reach 2^31 only for a negative value (INT_MIN).
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : INT32_MAX;
    std::int64_t sum = 0;
    std::size_t pos = 0;
    for (const Symbol& symbol : kSymbols) {
        while (text.compare(pos, symbol.length, symbol.text) == 0) {
            sum += symbol.value;
            if (sum > limit) return false;
            pos += symbol.length;
        }
        if (pos == text.size()) break;
    }
    if (pos != text.size()) return false;
    value = static_cast<int>(negative ? -sum : sum);
    return true;
}

}  // namespace

bool RomanNumeralToInteger(const std::string& text, int& value) {
    int result;
    const bool ok = Parse(text, result);
    value = ok ? result : 0;
    return ok;
}

bool RomanNumeralToInteger(const Tessary::CString& text, int& value) { return RomanNumeralToInteger(text.str(), value); }

void IntegerToRomanNumeral(int value, std::string& text) {
    text.clear();
    if (value == 0) {
        text = "0";
        return;
    }
    // Work on the magnitude in 64 bits so that INT_MIN has one.
    std::int64_t rest = value;
    if (rest < 0) {
        text += '-';
        rest = -rest;
    }
    // Large values are mostly "M"s: reserve once.
    text.reserve(text.size() + static_cast<std::size_t>(rest / 1000) + 16);
    for (const Symbol& symbol : kSymbols) {
        const std::int64_t times = rest / symbol.value;
        for (std::int64_t i = 0; i < times; ++i) text.append(symbol.text, symbol.length);
        rest -= times * symbol.value;
    }
}

void IntegerToRomanNumeral(int value, Tessary::CString& text) {
    using Tessary::detail::IsRomanNumeralCached;
    Tessary::detail::RomanNumeralCache& cache = Tessary::detail::g_romanNumeralCache;
    if (IsRomanNumeralCached(value)) {
        if (const auto* hit = cache.PLookup(value)) {
            text = hit->value;
            return;
        }
    }
    std::string converted;
    IntegerToRomanNumeral(value, converted);
    text = Tessary::CString(std::move(converted));
    if (IsRomanNumeralCached(value)) cache.SetAt(value, text);
}

}  // namespace RomanNumerals
