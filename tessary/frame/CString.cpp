#include "tessary/frame/CString.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Tessary {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
char ToLower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
char ToUpper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
int Sign(int v) { return (v > 0) - (v < 0); }

// Appends printf output to `out`; an encoding error leaves `out` unchanged.
void AppendV(std::string& out, const char* format, va_list args) {
    if (!format) return;
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return;
    if (static_cast<std::size_t>(needed) < sizeof small) {
        out.append(small, static_cast<std::size_t>(needed));
        return;
    }
    const std::size_t old = out.size();
    out.resize(old + static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(&out[old], static_cast<std::size_t>(needed) + 1, format, args);
    out.resize(old + static_cast<std::size_t>(needed));
}

}  // namespace

CString::CString(const char* text) : m_str(text ? text : "") {}

CString::CString(const char* text, int length) {
    if (text && length > 0) m_str.assign(text, static_cast<std::size_t>(length));
}

CString::CString(char ch, int repeat) : m_str(static_cast<std::size_t>(std::max(repeat, 0)), ch) {}

CString& CString::operator=(const char* text) {
    if (text) m_str = text; else m_str.clear();
    return *this;
}

CString& CString::operator=(char ch) {
    m_str.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) m_str += text;
    return *this;
}

char CString::GetAt(int index) const {
    return index >= 0 && index < GetLength() ? m_str[static_cast<std::size_t>(index)] : '\0';
}

void CString::SetAt(int index, char ch) {
    if (index >= 0 && index < GetLength()) m_str[static_cast<std::size_t>(index)] = ch;
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_str.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

int CString::Find(char ch, int start) const {
    if (start < 0) start = 0;
    if (start >= GetLength()) return -1;
    const auto pos = m_str.find(ch, static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (!sub) return -1;
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    const auto pos = m_str.find(sub, static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* set) const {
    if (!set || !*set) return -1;
    const auto pos = m_str.find_first_of(set);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    const auto pos = m_str.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::TrimLeft() {
    m_str.erase(m_str.begin(), std::find_if_not(m_str.begin(), m_str.end(), IsSpace));
    return *this;
}

CString& CString::TrimRight() {
    m_str.erase(std::find_if_not(m_str.rbegin(), m_str.rend(), IsSpace).base(), m_str.end());
    return *this;
}

CString& CString::Trim(const char* set) { return TrimRight(set).TrimLeft(set); }

CString& CString::TrimLeft(const char* set) {
    if (set) m_str.erase(0, std::min(m_str.find_first_not_of(set), m_str.size()));
    return *this;
}

CString& CString::TrimRight(const char* set) {
    if (!set) return *this;
    const auto last = m_str.find_last_not_of(set);
    m_str.erase(last == std::string::npos ? 0 : last + 1);
    return *this;
}

CString& CString::MakeLower() {
    std::transform(m_str.begin(), m_str.end(), m_str.begin(), ToLower);
    return *this;
}

CString& CString::MakeUpper() {
    std::transform(m_str.begin(), m_str.end(), m_str.begin(), ToUpper);
    return *this;
}

int CString::Replace(const char* from, const char* to) {
    if (!from || !*from) return 0;
    const std::string_view needle(from);
    const std::string_view replacement(to ? to : "");
    std::string result;
    int count = 0;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = m_str.find(needle.data(), pos, needle.size())) != std::string::npos;
         pos = hit + needle.size(), ++count) {
        result.append(m_str, pos, hit - pos);
        result.append(replacement);
    }
    if (count == 0) return 0;
    result.append(m_str, pos, std::string::npos);
    m_str.swap(result);
    return count;
}

int CString::Replace(char from, char to) {
    int count = 0;
    for (char& c : m_str) {
        if (c == from) { c = to; ++count; }
    }
    return count;
}

void CString::Format(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    AppendV(out, format, args);
    va_end(args);
    m_str.swap(out);
}

void CString::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendV(m_str, format, args);
    va_end(args);
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<std::size_t>(minLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        m_str.resize(std::strlen(m_str.c_str()));
    } else if (newLength < GetLength()) {
        m_str.resize(static_cast<std::size_t>(newLength));
    }
}

int CString::Compare(const char* other) const {
    return Sign(std::strcmp(m_str.c_str(), other ? other : ""));
}

int CString::Compare(const CString& other) const { return Sign(m_str.compare(other.m_str)); }

int CString::CompareNoCase(const char* other) const {
    if (!other) other = "";
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_str.c_str());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(other);
    for (;; ++a, ++b) {
        const int ca = std::tolower(*a);
        const int cb = std::tolower(*b);
        if (ca != cb || ca == 0) return Sign(ca - cb);
    }
}

int CString::CompareNoCase(const CString& other) const {
    const std::size_t n = std::min(m_str.size(), other.m_str.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(m_str[i]));
        const int cb = std::tolower(static_cast<unsigned char>(other.m_str[i]));
        if (ca != cb) return Sign(ca - cb);
    }
    return Sign(static_cast<int>(m_str.size() > n) - static_cast<int>(other.m_str.size() > n));
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }
CString operator+(const CString& a, char b) { CString r(a); r += b; return r; }
CString operator+(char a, const CString& b) { CString r(a); r += b; return r; }

}  // namespace Tessary
