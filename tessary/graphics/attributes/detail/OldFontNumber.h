#pragma once

// The oldest label and 2D-text forms named their font face by number:
// 1 Arial, 2 Times New Roman, 3 Courier New. A number we do not know keeps
// the face the object had. Loading only: nothing stores these numbers.

#include <cstdint>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Serialization.h"

namespace Tessary::detail {

struct OldFontNumberField {
    CString& face;
};
inline OldFontNumberField OldFontNumber(CString& face) { return {face}; }
inline void ArchiveField(CArchive& ar, OldFontNumberField& field) {
    static const char* const kFaces[] = {"Arial", "Times New Roman", "Courier New"};
    std::int32_t number = 0;
    ArchiveFields(ar, number);
    if (number >= 1 && number <= 3) field.face = kFaces[number - 1];
}

}  // namespace Tessary::detail
