#pragma once

// Pattern: what a user-typed filter looks like to the host. Two kinds exist,
// regular expressions (RegExpression) and integer ranges (RegNumber); hosts
// keep them through this base and copy them polymorphically with Copy().

#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

template <class STRING>
class TESSARY_API Pattern {
public:
    explicit Pattern(bool flag = false) : m_flag(flag) {}
    Pattern(const Pattern&) = default;
    Pattern& operator=(const Pattern&) = default;
    virtual ~Pattern() = default;

    // A new heap copy of the concrete pattern; the caller owns it.
    virtual Pattern* Copy() const = 0;
    // True when `subject` matches; `whole` asks for the whole subject.
    virtual bool Match(const STRING& subject, bool whole) = 0;

    // Host-defined marker; the library never reads it.
    bool GetFlag() const { return m_flag; }

protected:
    bool m_flag;
};

}  // namespace Tessary
