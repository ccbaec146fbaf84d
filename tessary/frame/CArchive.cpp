#include "tessary/frame/CArchive.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <limits>
#include <ostream>
#include <string>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "archives hold little-endian memory images; a big-endian port must swap here");

namespace Tessary {

namespace {

const char* CauseText(CArchiveException::Cause cause) {
    switch (cause) {
        case CArchiveException::none: return "archive: no error";
        case CArchiveException::genericException: return "archive: input or output failed";
        case CArchiveException::readOnly: return "archive: write to an archive opened for loading";
        case CArchiveException::endOfFile: return "archive: read past the end of the input";
        case CArchiveException::writeOnly: return "archive: read from an archive opened for storing";
        case CArchiveException::badIndex: return "archive: bad index";
        case CArchiveException::badClass: return "archive: bad class";
        case CArchiveException::badSchema: return "archive: bad schema";
        case CArchiveException::badCount: return "archive: count larger than the input can hold";
    }
    return "archive: error";
}

// Appends the UTF-8 form of UTF-16 code units; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const unsigned char* units, std::size_t count) {
    std::string out;
    out.reserve(count);
    auto unit = [units](std::size_t i) { return static_cast<std::uint32_t>(units[2 * i] | (units[2 * i + 1] << 8)); };
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// Reads the length prefix of a string; a wide-string marker sets `wide` and
// the real length follows it, encoded again from the one-byte form.
std::uint64_t ReadStringLength(CArchive& ar, bool& wide) {
    unsigned char byte;
    ar >> byte;
    if (byte < 0xFF) return byte;
    unsigned short word;
    ar >> word;
    if (word == 0xFFFE) {
        wide = true;
        ar >> byte;
        if (byte < 0xFF) return byte;
        ar >> word;
    }
    if (word < 0xFFFE) return word;
    unsigned int dword;
    ar >> dword;
    if (dword < 0xFFFFFFFFu) return dword;
    unsigned long long qword;
    ar >> qword;
    return qword;
}

}  // namespace

CArchiveException::CArchiveException(Cause cause) : std::runtime_error(CauseText(cause)), m_cause(cause) {}

CArchive::CArchive(std::vector<unsigned char>& bytes, Mode mode) : m_mode(mode), m_bytes(&bytes) {}

CArchive::CArchive(std::ostream& out) : m_mode(store), m_out(&out) {}

CArchive::CArchive(std::istream& in) : m_mode(load), m_in(&in) {}

CArchive::~CArchive() {
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; a host that cares about a failed flush calls Close().
    }
}

void CArchive::Close() {
    if (m_closed) return;
    m_closed = true;
    if (m_out) {
        m_out->flush();
        if (!*m_out) throw CArchiveException(CArchiveException::genericException);
    }
    if (m_in && m_pos < m_readAhead.size()) {
        // Hand the unconsumed bytes back so the host can go on reading after the archive.
        m_in->clear();
        m_in->seekg(-static_cast<std::streamoff>(m_readAhead.size() - m_pos), std::ios_base::cur);
    }
}

void CArchive::RequireStoring() const {
    if (m_closed) throw CArchiveException(CArchiveException::genericException);
    if (IsLoading()) throw CArchiveException(CArchiveException::readOnly);
}

void CArchive::RequireLoading() const {
    if (m_closed) throw CArchiveException(CArchiveException::genericException);
    if (IsStoring()) throw CArchiveException(CArchiveException::writeOnly);
}

void CArchive::Write(const void* data, std::size_t size) {
    RequireStoring();
    if (size == 0) return;
    const auto* p = static_cast<const unsigned char*>(data);
    if (m_bytes) {
        m_bytes->insert(m_bytes->end(), p, p + size);
    } else {
        m_out->write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(size));
        if (!*m_out) throw CArchiveException(CArchiveException::genericException);
    }
}

bool CArchive::Fill(std::size_t size) {
    if (m_bytes) return m_bytes->size() - m_pos >= size;
    std::size_t have = m_readAhead.size() - m_pos;
    if (have >= size) return true;
    if (m_pos > 0) {
        // Drop what was consumed so the read-ahead holds only live bytes.
        m_readAhead.erase(m_readAhead.begin(), m_readAhead.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos = 0;
    }
    // Grow in bounded steps: a huge claimed size costs memory only as far as
    // the stream really delivers bytes.
    constexpr std::size_t step = 1 << 16;
    while (have < size && *m_in) {
        const std::size_t want = std::min(size - have, step);
        m_readAhead.resize(have + want);
        m_in->read(reinterpret_cast<char*>(m_readAhead.data() + have), static_cast<std::streamsize>(want));
        have += static_cast<std::size_t>(m_in->gcount());
        m_readAhead.resize(have);
    }
    return have >= size;
}

void CArchive::Read(void* data, std::size_t size) {
    RequireLoading();
    if (size == 0) return;
    if (!Fill(size)) throw CArchiveException(CArchiveException::endOfFile);
    const unsigned char* source = m_bytes ? m_bytes->data() : m_readAhead.data();
    std::memcpy(data, source + m_pos, size);
    m_pos += size;
}

const unsigned char* CArchive::Peek(std::size_t size) {
    CheckAvailable(size);
    return (m_bytes ? m_bytes->data() : m_readAhead.data()) + m_pos;
}

void CArchive::Skip(std::size_t size) {
    CheckAvailable(size);
    m_pos += size;
}

void CArchive::CheckAvailable(std::uint64_t count, std::uint64_t bytesPerItem) {
    RequireLoading();
    if (bytesPerItem != 0 && count > std::numeric_limits<std::uint64_t>::max() / bytesPerItem)
        throw CArchiveException(CArchiveException::badCount);
    const std::uint64_t bytes = count * bytesPerItem;
    if (bytes > std::numeric_limits<std::size_t>::max() || !Fill(static_cast<std::size_t>(bytes)))
        throw CArchiveException(CArchiveException::badCount);
}

void CArchive::WriteCount(std::uint64_t count) {
    if (count < 0xFFFF) {
        *this << static_cast<unsigned short>(count);
        return;
    }
    *this << static_cast<unsigned short>(0xFFFF);
    if (count < 0xFFFFFFFFu) {
        *this << static_cast<unsigned int>(count);
        return;
    }
    *this << static_cast<unsigned int>(0xFFFFFFFFu) << static_cast<unsigned long long>(count);
}

std::uint64_t CArchive::ReadCount() {
    unsigned short word;
    *this >> word;
    if (word != 0xFFFF) return word;
    unsigned int dword;
    *this >> dword;
    if (dword != 0xFFFFFFFFu) return dword;
    unsigned long long qword;
    *this >> qword;
    return qword;
}

CArchive& CArchive::operator>>(bool& v) {
    unsigned char byte;
    *this >> byte;
    v = byte != 0;
    return *this;
}

CArchive& CArchive::operator<<(const CString& s) {
    const std::uint64_t length = static_cast<std::uint64_t>(s.str().size());
    if (length < 0xFF) {
        *this << static_cast<unsigned char>(length);
    } else {
        *this << static_cast<unsigned char>(0xFF);
        if (length < 0xFFFE) {
            *this << static_cast<unsigned short>(length);
        } else {
            *this << static_cast<unsigned short>(0xFFFF);
            if (length < 0xFFFFFFFFu) {
                *this << static_cast<unsigned int>(length);
            } else {
                *this << static_cast<unsigned int>(0xFFFFFFFFu) << static_cast<unsigned long long>(length);
            }
        }
    }
    Write(s.str().data(), s.str().size());
    return *this;
}

CArchive& CArchive::operator>>(CString& s) {
    bool wide = false;
    const std::uint64_t length = ReadStringLength(*this, wide);
    const std::uint64_t charSize = wide ? 2 : 1;
    CheckAvailable(length, charSize);
    std::string raw(static_cast<std::size_t>(length * charSize), '\0');
    Read(raw.data(), raw.size());
    if (wide) raw = Utf16ToUtf8(reinterpret_cast<const unsigned char*>(raw.data()), static_cast<std::size_t>(length));
    s = CString(std::move(raw));
    return *this;
}

}  // namespace Tessary
