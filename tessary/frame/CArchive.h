#pragma once

// CArchive: the binary archive every serializable class writes to and reads
// from. It is open either for storing or for loading. Values go in as their
// little-endian memory images with no tags or padding; counts and strings use
// the archive's own variable-length encodings, which stored files rely on:
//
//   count   < 0xFFFF           : 16-bit word
//           < 0xFFFFFFFF       : word 0xFFFF, 32-bit word
//           otherwise          : word 0xFFFF, 0xFFFFFFFF, 64-bit word
//   string  length < 255       : 1 byte
//           length < 0xFFFE    : byte 0xFF, 16-bit length
//           length < 0xFFFFFFFF: byte 0xFF, word 0xFFFF, 32-bit length
//           otherwise          : byte 0xFF, 0xFFFF, 0xFFFFFFFF, 64-bit length
//           then the bytes, no terminator. A wide (UTF-16) string written by
//           an older host is announced by byte 0xFF and word 0xFFFE before its
//           length; it loads as UTF-8. Storing always writes 8-bit strings.
//
// Malformed input throws CArchiveException; nothing else in the library throws.
// Before a loader allocates room for a count it asks CheckAvailable() whether
// the input can still hold that many bytes, so a crafted count cannot make the
// library allocate more than the input could fill.

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <vector>

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class TESSARY_API CArchiveException : public std::runtime_error {
public:
    enum Cause { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema, badCount };

    explicit CArchiveException(Cause cause);

    Cause m_cause;
};

class TESSARY_API CArchive {
public:
    enum Mode { store = 0, load = 1 };

    // Storing appends to `bytes`; loading reads `bytes` from the start. The
    // vector must outlive the archive and must not change while it loads.
    CArchive(std::vector<unsigned char>& bytes, Mode mode);
    // Storing writes to `out`; a stream that fails throws.
    explicit CArchive(std::ostream& out);
    // Loading reads from `in`. Close() gives back bytes read ahead of what was
    // consumed when the stream can seek.
    explicit CArchive(std::istream& in);
    ~CArchive();

    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return (m_mode & load) != 0; }
    bool IsStoring() const { return (m_mode & load) == 0; }

    // The format version; all bits set (the initial value) means unset.
    std::uint32_t m_nObjectSchema = 0xFFFFFFFFu;
    std::uint32_t GetObjectSchema() const { return m_nObjectSchema; }
    void SetObjectSchema(std::uint32_t schema) { m_nObjectSchema = schema; }

    CArchive& operator<<(unsigned char v) { return WriteValue(v); }
    CArchive& operator<<(signed char v) { return WriteValue(v); }
    CArchive& operator<<(char v) { return WriteValue(v); }
    CArchive& operator<<(bool v) { return WriteValue(static_cast<unsigned char>(v ? 1 : 0)); }
    CArchive& operator<<(short v) { return WriteValue(v); }
    CArchive& operator<<(unsigned short v) { return WriteValue(v); }
    CArchive& operator<<(int v) { return WriteValue(v); }
    CArchive& operator<<(unsigned int v) { return WriteValue(v); }
    CArchive& operator<<(long long v) { return WriteValue(v); }
    CArchive& operator<<(unsigned long long v) { return WriteValue(v); }
    CArchive& operator<<(float v) { return WriteValue(v); }
    CArchive& operator<<(double v) { return WriteValue(v); }
    CArchive& operator<<(const CString& s);
    CArchive& operator<<(const char* s) { return *this << CString(s); }

    CArchive& operator>>(unsigned char& v) { return ReadValue(v); }
    CArchive& operator>>(signed char& v) { return ReadValue(v); }
    CArchive& operator>>(char& v) { return ReadValue(v); }
    CArchive& operator>>(bool& v);
    CArchive& operator>>(short& v) { return ReadValue(v); }
    CArchive& operator>>(unsigned short& v) { return ReadValue(v); }
    CArchive& operator>>(int& v) { return ReadValue(v); }
    CArchive& operator>>(unsigned int& v) { return ReadValue(v); }
    CArchive& operator>>(long long& v) { return ReadValue(v); }
    CArchive& operator>>(unsigned long long& v) { return ReadValue(v); }
    CArchive& operator>>(float& v) { return ReadValue(v); }
    CArchive& operator>>(double& v) { return ReadValue(v); }
    CArchive& operator>>(CString& s);

    // Raw blocks. Read throws when fewer than `size` bytes are left; a loader
    // that must tolerate a short tail can ask CheckAvailable first.
    void Write(const void* data, std::size_t size);
    void Read(void* data, std::size_t size);

    // Bulk loading without a copy per value: Peek makes sure `size` bytes lie
    // ahead of the read position (badCount when the input ends first) and
    // returns where they start without consuming them; the pointer holds until
    // the next read. Skip consumes bytes that a Peek made available. A loader
    // that checks a whole form this way before it changes anything cannot be
    // stopped half-way by a short input.
    const unsigned char* Peek(std::size_t size);
    void Skip(std::size_t size);

    void WriteCount(std::uint64_t count);
    std::uint64_t ReadCount();

    // Loading: throws badCount unless at least count * bytesPerItem bytes can
    // still be read (bytesPerItem is the least an item occupies in the input).
    void CheckAvailable(std::uint64_t count, std::uint64_t bytesPerItem = 1);

    // Flushes a storing stream; on a loading stream gives back read-ahead bytes.
    // The archive is unusable afterwards; the destructor closes it too.
    void Close();

private:
    template <class T>
    CArchive& WriteValue(T v) { Write(&v, sizeof v); return *this; }
    template <class T>
    CArchive& ReadValue(T& v) { T t; Read(&t, sizeof t); v = t; return *this; }

    void RequireStoring() const;
    void RequireLoading() const;
    // Makes sure `size` bytes are buffered for reading; false at end of input.
    bool Fill(std::size_t size);

    int m_mode;
    bool m_closed = false;
    std::vector<unsigned char>* m_bytes = nullptr;   // storing into / loading from a vector
    std::ostream* m_out = nullptr;
    std::istream* m_in = nullptr;
    std::vector<unsigned char> m_readAhead;           // bytes taken from m_in, not yet consumed
    std::size_t m_pos = 0;                            // read position in the vector or m_readAhead
};

}  // namespace Tessary
