#pragma once

// UniqueString: a one-pointer handle to a text held once for the whole
// process. Equal texts give handles to the same stored CString, so hosts keep
// many copies of repeated names (atom, residue and chain names) cheaply and
// compare them by address.
//
// Edge-case contract:
// * Null and empty texts share UniqueStringTable::null.
// * Keys compare exactly (case-sensitive, full length).
// * Stored strings live until the library unloads; handles never dangle
//   before that, and the table never shrinks.
// * Threads: the intern table is process-wide and unsynchronised; make, assign
//   and load handles, and call the table, from one thread at a time.

#include <cstddef>
#include <string_view>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class UniqueString;

class TESSARY_API UniqueStringTable {
public:
    ~UniqueStringTable();

    // The stored string equal to `text`, added when absent; &null for a null
    // or empty text.
    const CString* Add(const char* text);
    const CString* Add(std::string_view text);
    // The stored string equal to `text`, or &null when absent; never adds.
    const CString* Find(const char* text) const;
    const CString* Find(std::string_view text) const;

    // Number of distinct stored strings.
    int GetCount() const;

    static const CString null;

protected:
    UniqueStringTable() = default;

private:
    friend class UniqueString;
    UniqueStringTable(const UniqueStringTable&);
    UniqueStringTable& operator=(const UniqueStringTable&);

    struct Map;
    Map* m_map = nullptr;  // created by the first Add
};

class TESSARY_API UniqueString {
public:
    UniqueString(const char* text) : m_string(m_table.Add(text)) {}
    UniqueString(const CString& text) : m_string(m_table.Add(std::string_view(text.str()))) {}
    UniqueString(const UniqueString& other) : m_string(m_table.Add(std::string_view(other.m_string->str()))) {}
    ~UniqueString() = default;

    UniqueString& operator=(const char* text) {
        m_string = m_table.Add(text);
        return *this;
    }
    UniqueString& operator=(const CString& text) {
        m_string = m_table.Add(std::string_view(text.str()));
        return *this;
    }
    UniqueString& operator=(const UniqueString& other) {
        m_string = other.m_string;
        return *this;
    }

    const CString& String() const { return *m_string; }
    const CString* StringPtr() const { return m_string; }

    // Stores the text; loading interns the text read.
    void Serialize(CArchive& ar);

    static UniqueStringTable m_table;

private:
    const CString* m_string;
};

// Handles are equal exactly when their texts are.
inline bool operator==(const UniqueString& a, const UniqueString& b) { return a.StringPtr() == b.StringPtr(); }
inline bool operator!=(const UniqueString& a, const UniqueString& b) { return a.StringPtr() != b.StringPtr(); }

}  // namespace Tessary
