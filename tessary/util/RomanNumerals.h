#pragma once

// RomanNumerals: conversion between integers and Roman numerals for labels
// and numbering. Both directions walk one table greedily from 1000 ("M")
// down to 1 ("I"), so large values repeat "M" (4000 is "MMMM").
//
// Edge-case contract:
// * 0 is written "0"; the texts "" and "0" read as 0, and so does "-".
// * Negative values carry a leading "-"; INT_MIN converts both ways.
// * Reading is case-sensitive and accepts any symbols in table order, also
//   non-canonical ones ("IIII" is 4, "VV" is 10), but not against it ("IIV").
// * A text that is not a numeral, or whose value does not fit in an int,
//   fails and sets the value to 0.
// * The CString conversion shares a process-wide cache without locking: call
//   it from one thread at a time.

#include <string>

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace RomanNumerals {

TESSARY_API bool RomanNumeralToInteger(const std::string& text, int& value);
TESSARY_API bool RomanNumeralToInteger(const Tessary::CString& text, int& value);

TESSARY_API void IntegerToRomanNumeral(int value, std::string& text);
// Also remembers each converted value of magnitude up to a few thousand, so
// repeated labels cost one lookup; larger values are converted every time.
TESSARY_API void IntegerToRomanNumeral(int value, Tessary::CString& text);

}  // namespace RomanNumerals
