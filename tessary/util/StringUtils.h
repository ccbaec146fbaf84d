#pragma once

// StringUtils: the tokenizer and strict converters for the line-oriented text
// that hosts read from files and dialogs. All members are static; none keeps
// state.
//
// "Parse" functions consume what they return from the caller's text, "Peek"
// functions leave it unchanged. Whitespace is what isspace() says in the C
// locale; characters are bytes.
//
// Edge-case contract:
// * Parse(text) removes the token and exactly one character after it.
// * Parse(text, delims) removes up to and including the first delimiter; the
//   token keeps any blanks before the delimiter.
// * A quoted token without its closing quote runs to the end of the text.
// * Stream extraction returns the final token of a stream that ends without
//   a separator (the stream then reports end of file, not failure).
// * Conversions are strict: no digits, trailing characters or a value out of
//   range fail and leave the output unchanged. Integers are 32-bit: the
//   `long` form fails beyond the 32-bit range; the `short` form keeps the
//   low 16 bits without a range check.

#include <iosfwd>

#include "tessary/frame/CArray.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class Point3d;

struct TESSARY_API StringUtils {
    // Consuming token extraction.
    static CString Parse(CString& text);
    static CString Parse(CString& text, const char* delims);
    static CString Parse(CString& text, char delim);
    static CString ParseQuotedString(CString& text);
    // atof of the Parse token; an empty token gives 0.
    static double ParseRealNumber(CString& text, const char* delims);
    static double ParseRealNumber(CString& text, char delim);
    // Three Parse tokens, always consumed; (0, 0, 0) unless all three convert.
    static Point3d ParsePoint(CString& text, const char* delims);
    static Point3d ParsePoint(CString& text, char delim);

    // Non-consuming token extraction.
    static CString Peek(const CString& text);
    // Skips leading delimiters; null or empty `delims` gives the whole text.
    static CString Peek(const CString& text, const char* delims);
    static CString Peek(const CString& text, char delim);
    // Only a quote at position 0 counts.
    static CString PeekQuotedString(const CString& text);
    static double PeekRealNumber(const CString& text, const char* delims);
    static double PeekRealNumber(const CString& text, char delim);
    static Point3d PeekPoint(const CString& text, const char* delims);
    static Point3d PeekPoint(const CString& text, char delim);

    // Checks and edits.
    static bool CheckNextCharacter(char c, const CString& text);
    static bool CheckQuotedString(const CString& text, char q);
    static CString QuoteString(const CString& text, char q);
    static void CleanString(CString& text);
    static void RemoveSpaces(CString& text);
    static void RemoveDuplicateStrings(CStringArray& array);

    // Stream extraction.
    static CString ExtractString(std::istream& is);
    // Null or empty `delims` means a single blank; the delimiter stays in the stream.
    static CString ExtractString(std::istream& is, const char* delims);
    // One line up to `delim` (consumed), at most 8,191 characters; a longer
    // line gives an empty result and a failed stream.
    static CString ExtractString(std::istream& is, char delim);
    static CString ExtractLine(std::istream& is);

    // Strict conversions; on failure the output is unchanged.
    static bool StringToBoolean(const char* s, bool& b);
    static bool StringToInteger(const char* s, long& n);
    static bool StringToInteger(const char* s, int& n);
    static bool StringToInteger(const char* s, short& n);
    static bool StringToReal(const char* s, double& x);
    // Also fails for a finite value beyond the range of float.
    static bool StringToReal(const char* s, float& x);
    // Three blank-separated numbers; text after the third is ignored.
    static bool StringToPoint(const char* s, Point3d& p);

    static constexpr int kMaxLineLength = 8191;
};

}  // namespace Tessary
