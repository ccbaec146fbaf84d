#pragma once

// CString: the counted 8-bit string of the library's interface. A value type
// over std::string; it may hold embedded NUL bytes. Positions and lengths are
// ints, and every substring call clamps its arguments to the string instead of
// failing, so a caller's off-by-one yields a shorter string, never a crash.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "tessary/frame/Export.h"

namespace Tessary {

class TESSARY_API CString {
public:
    CString() = default;
    CString(const char* text);                 // null is the empty string
    CString(const char* text, int length);     // the first `length` bytes (clamped at 0)
    CString(char ch, int repeat = 1);
    CString(std::string text) : m_str(std::move(text)) {}
    CString(std::string_view text) : m_str(text) {}

    CString& operator=(const char* text);
    CString& operator=(char ch);

    CString& operator+=(const CString& other) { m_str += other.m_str; return *this; }
    CString& operator+=(const char* text);
    CString& operator+=(char ch) { m_str += ch; return *this; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    // Read access by index; out-of-range positions read as NUL.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }
    // Out-of-range positions are ignored.
    void SetAt(int index, char ch);

    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    // Substrings; `first` and `count` are clamped to the string.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    // Index of the first match at or after `start`, or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int FindOneOf(const char* set) const;
    int ReverseFind(char ch) const;

    // Whitespace is what isspace() says in the C locale.
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(const char* set);
    CString& TrimLeft(const char* set);
    CString& TrimRight(const char* set);

    CString& MakeLower();
    CString& MakeUpper();
    // Replaces every occurrence of `from` (non-empty) by `to`; returns how many.
    int Replace(const char* from, const char* to);
    int Replace(char from, char to);

    // printf-style formatting; replaces the content.
    void Format(const char* format, ...) TESSARY_PRINTF_FORMAT(2, 3);
    void AppendFormat(const char* format, ...) TESSARY_PRINTF_FORMAT(2, 3);

    // A writable buffer of at least `minLength` characters plus a terminator,
    // holding the current text. ReleaseBuffer(-1) takes the length up to the
    // first NUL; ReleaseBuffer(n) takes n characters (clamped to the buffer).
    char* GetBuffer(int minLength);
    char* GetBuffer() { return GetBuffer(GetLength()); }
    void ReleaseBuffer(int newLength = -1);

    // <0, 0 or >0 as strcmp; CompareNoCase folds ASCII case first.
    int Compare(const char* other) const;
    int CompareNoCase(const char* other) const;
    int Compare(const CString& other) const;
    int CompareNoCase(const CString& other) const;

private:
    std::string m_str;
};

TESSARY_API CString operator+(const CString& a, const CString& b);
TESSARY_API CString operator+(const CString& a, const char* b);
TESSARY_API CString operator+(const char* a, const CString& b);
TESSARY_API CString operator+(const CString& a, char b);
TESSARY_API CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
inline bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
inline bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
inline bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
inline bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
inline bool operator>(const CString& a, const char* b) { return a.Compare(b) > 0; }
inline bool operator<=(const CString& a, const char* b) { return a.Compare(b) <= 0; }
inline bool operator>=(const CString& a, const char* b) { return a.Compare(b) >= 0; }
inline bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const char* a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const char* a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const char* a, const CString& b) { return b.Compare(a) < 0; }
inline bool operator<=(const char* a, const CString& b) { return b.Compare(a) >= 0; }
inline bool operator>=(const char* a, const CString& b) { return b.Compare(a) <= 0; }

}  // namespace Tessary

template <>
struct std::hash<Tessary::CString> {
    std::size_t operator()(const Tessary::CString& s) const noexcept {
        return std::hash<std::string>()(s.str());
    }
};
