#include "tessary/util/StringUtils.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <string>
#include <string_view>
#include <unordered_set>

#include "tessary/geometry/Point3d.h"

namespace Tessary {

namespace {

// isspace() of the C locale, inline: tokenizing calls it for every character.
constexpr bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int SkipSpaces(const CString& text, int pos) {
    const char* p = text.GetString();
    const int length = text.GetLength();
    while (pos < length && IsSpace(p[pos])) ++pos;
    return pos;
}

// The end of the run of non-blank characters that starts at `pos`.
int SkipToken(const CString& text, int pos) {
    const char* p = text.GetString();
    const int length = text.GetLength();
    while (pos < length && !IsSpace(p[pos])) ++pos;
    return pos;
}

// Delimiter test; a null set holds nothing.
bool IsDelimiter(const char* delims, char c) { return delims && c != '\0' && std::strchr(delims, c) != nullptr; }

bool IsQuote(char c) { return c == '"' || c == '\'' || c == '`'; }

// Removes the first `count` characters in place: a line is taken apart token
// by token, and copying its rest each time would make that quadratic work
// with an allocation per token.
void DropFront(CString& text, int count) {
    const int length = text.GetLength();
    if (count <= 0) return;
    if (count >= length) {
        text.Empty();
        return;
    }
    char* buffer = text.GetBuffer(length);
    std::memmove(buffer, buffer + count, static_cast<std::size_t>(length - count));
    text.ReleaseBuffer(length - count);
}

// The token of a quoted text starting at `open`, and the position after it
// (after the closing quote, or the end of the text).
CString QuotedToken(const CString& text, int open, int& after) {
    const char quote = text[open];
    const int close = text.Find(quote, open + 1);
    if (close < 0) {
        after = text.GetLength();
        return text.Mid(open + 1);
    }
    after = close + 1;
    return text.Mid(open + 1, close - open - 1);
}

double Atof(const CString& token) { return token.IsEmpty() ? 0.0 : std::atof(token); }

// strtol/strtod rules: at least one digit, nothing after it, no range error.
template <class T, class Fn>
bool Convert(const char* s, T& out, Fn convert) {
    if (!s || *s == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const T value = convert(s, &end);
    if (end == s || *end != '\0' || errno == ERANGE) return false;
    out = value;
    return true;
}

bool ToInteger32(const char* s, std::int32_t& n) {
    long long value;
    if (!Convert(s, value, [](const char* p, char** e) { return std::strtoll(p, e, 10); })) return false;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    n = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

CString StringUtils::Parse(CString& text) {
    const int start = SkipSpaces(text, 0);
    const int end = SkipToken(text, start);
    CString token = text.Mid(start, end - start);
    DropFront(text, end + 1);
    return token;
}

CString StringUtils::Parse(CString& text, const char* delims) {
    text.TrimLeft();
    int end = 0;
    while (end < text.GetLength() && !IsDelimiter(delims, text[end])) ++end;
    CString token = text.Left(end);
    DropFront(text, end + 1);
    return token;
}

CString StringUtils::Parse(CString& text, char delim) {
    const char delims[2] = {delim, '\0'};
    return Parse(text, delims);
}

CString StringUtils::ParseQuotedString(CString& text) {
    text.TrimLeft();
    if (!IsQuote(text[0]) || text.IsEmpty()) return CString();
    int after;
    CString token = QuotedToken(text, 0, after);
    DropFront(text, after);
    return token;
}

double StringUtils::ParseRealNumber(CString& text, const char* delims) { return Atof(Parse(text, delims)); }
double StringUtils::ParseRealNumber(CString& text, char delim) { return Atof(Parse(text, delim)); }

Point3d StringUtils::ParsePoint(CString& text, const char* delims) {
    const CString a = Parse(text, delims);
    const CString b = Parse(text, delims);
    const CString c = Parse(text, delims);
    double x, y, z;
    if (a.IsEmpty() || b.IsEmpty() || c.IsEmpty() || !StringToReal(a, x) || !StringToReal(b, y) ||
        !StringToReal(c, z))
        return Point3d();
    return Point3d(x, y, z);
}

Point3d StringUtils::ParsePoint(CString& text, char delim) {
    const char delims[2] = {delim, '\0'};
    return ParsePoint(text, delims);
}

Point3d StringUtils::PeekPoint(const CString& text, const char* delims) {
    CString copy(text);
    return ParsePoint(copy, delims);
}

Point3d StringUtils::PeekPoint(const CString& text, char delim) {
    CString copy(text);
    return ParsePoint(copy, delim);
}

CString StringUtils::Peek(const CString& text) {
    const int start = SkipSpaces(text, 0);
    const int end = SkipToken(text, start);
    return text.Mid(start, end - start);
}

CString StringUtils::Peek(const CString& text, const char* delims) {
    int start = 0;
    while (start < text.GetLength() && IsDelimiter(delims, text[start])) ++start;
    int end = start;
    while (end < text.GetLength() && !IsDelimiter(delims, text[end])) ++end;
    return text.Mid(start, end - start);
}

CString StringUtils::Peek(const CString& text, char delim) {
    const char delims[2] = {delim, '\0'};
    return Peek(text, delims);
}

CString StringUtils::PeekQuotedString(const CString& text) {
    if (text.IsEmpty() || !IsQuote(text[0])) return CString();
    int after;
    return QuotedToken(text, 0, after);
}

double StringUtils::PeekRealNumber(const CString& text, const char* delims) { return Atof(Peek(text, delims)); }
double StringUtils::PeekRealNumber(const CString& text, char delim) { return Atof(Peek(text, delim)); }

bool StringUtils::CheckNextCharacter(char c, const CString& text) {
    const int pos = SkipSpaces(text, 0);
    return pos < text.GetLength() && text[pos] == c;
}

bool StringUtils::CheckQuotedString(const CString& text, char q) {
    return text.GetLength() >= 2 && text[0] == q && text[text.GetLength() - 1] == q;
}

CString StringUtils::QuoteString(const CString& text, char q) { return q + text + q; }

void StringUtils::CleanString(CString& text) {
    text.Trim();
    std::string out;
    out.reserve(static_cast<std::size_t>(text.GetLength()));
    bool inSpace = false;
    for (const char c : text.str()) {
        if (IsSpace(c)) {
            inSpace = true;
            continue;
        }
        if (inSpace) out += ' ';
        inSpace = false;
        out += c;
    }
    text = CString(std::move(out));
}

void StringUtils::RemoveSpaces(CString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.GetLength()));
    bool inDouble = false;
    bool inSingle = false;
    for (const char c : text.str()) {
        if (c == '"') inDouble = !inDouble;
        else if (c == '\'') inSingle = !inSingle;
        if (IsSpace(c) && !inDouble && !inSingle) continue;
        out += c;
    }
    text = CString(std::move(out));
}

void StringUtils::RemoveDuplicateStrings(CStringArray& array) {
    std::unordered_set<std::string_view> seen;
    seen.reserve(static_cast<std::size_t>(array.GetSize()));
    CStringArray kept;
    for (int i = 0; i < array.GetSize(); ++i) {
        if (seen.insert(std::string_view(array[i].str())).second) kept.Add(array[i]);
    }
    array.Copy(kept);
}

CString StringUtils::ExtractString(std::istream& is) {
    std::istream::sentry sentry(is, true);
    if (!sentry) return CString();
    std::streambuf* sb = is.rdbuf();
    int c = sb->sbumpc();
    while (IsSpace(c)) c = sb->sbumpc();
    std::string token;
    while (c != EOF && !IsSpace(c)) {
        token += static_cast<char>(c);
        c = sb->sbumpc();
    }
    // A token that ends the stream still counts; only an empty one fails.
    if (c == EOF) is.setstate(token.empty() ? std::ios::eofbit | std::ios::failbit : std::ios::eofbit);
    return CString(std::move(token));
}

CString StringUtils::ExtractString(std::istream& is, const char* delims) {
    if (!delims || *delims == '\0') delims = " ";
    std::istream::sentry sentry(is, true);
    if (!sentry) return CString();
    std::streambuf* sb = is.rdbuf();
    int c = sb->sgetc();
    while (IsSpace(c)) c = sb->snextc();
    std::string token;
    while (c != EOF && !IsDelimiter(delims, static_cast<char>(c))) {
        token += static_cast<char>(c);
        c = sb->snextc();
    }
    if (c == EOF) is.setstate(token.empty() ? std::ios::eofbit | std::ios::failbit : std::ios::eofbit);
    return CString(std::move(token));
}

CString StringUtils::ExtractString(std::istream& is, char delim) {
    is >> std::ws;
    char line[kMaxLineLength + 1];
    is.getline(line, sizeof line, delim);
    // getline fails when the buffer filled before the delimiter came.
    if (is.fail()) return CString();
    // The count includes the delimiter unless the line ended the stream.
    const std::streamsize length = is.gcount() - (is.eof() ? 0 : 1);
    return CString(line, static_cast<int>(length));
}

CString StringUtils::ExtractLine(std::istream& is) { return ExtractString(is, '\n'); }

bool StringUtils::StringToBoolean(const char* s, bool& b) {
    if (!s) return false;
    static constexpr const char* kTrue[] = {"on", "t", "true", "y", "yes"};
    static constexpr const char* kFalse[] = {"f", "false", "n", "no", "off"};
    const CString text(s);
    for (const char* word : kTrue) {
        if (text.CompareNoCase(word) == 0) {
            b = true;
            return true;
        }
    }
    for (const char* word : kFalse) {
        if (text.CompareNoCase(word) == 0) {
            b = false;
            return true;
        }
    }
    return false;
}

bool StringUtils::StringToInteger(const char* s, long& n) {
    std::int32_t value;
    if (!ToInteger32(s, value)) return false;
    n = value;
    return true;
}

bool StringUtils::StringToInteger(const char* s, int& n) {
    std::int32_t value;
    if (!ToInteger32(s, value)) return false;
    n = value;
    return true;
}

bool StringUtils::StringToInteger(const char* s, short& n) {
    std::int32_t value;
    if (!ToInteger32(s, value)) return false;
    n = static_cast<short>(static_cast<std::uint16_t>(value));
    return true;
}

bool StringUtils::StringToReal(const char* s, double& x) {
    return Convert(s, x, [](const char* p, char** e) { return std::strtod(p, e); });
}

bool StringUtils::StringToReal(const char* s, float& x) {
    double value;
    if (!StringToReal(s, value)) return false;
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX) return false;
    x = static_cast<float>(value);
    return true;
}

bool StringUtils::StringToPoint(const char* s, Point3d& p) {
    CString text(s);
    const CString a = Parse(text);
    const CString b = Parse(text);
    const CString c = Parse(text);
    double x, y, z;
    if (a.IsEmpty() || b.IsEmpty() || c.IsEmpty() || !StringToReal(a, x) || !StringToReal(b, y) ||
        !StringToReal(c, z))
        return false;
    p = Point3d(x, y, z);
    return true;
}

}  // namespace Tessary
